#pragma once
// The installer's operating-system seam on the host, for simulating an
// installation with the installer's own code: Windows folders mounted onto
// host folders (windows_folders.h), files and mappings with the rules of
// Windows that an installation meets, a registry in memory, and a user and
// programs that behave as told. Nothing outside the mounted folders is
// touched and no program is run: commands are recorded.
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "brxpack/simulate/host_registry.h"
#include "brxpack/host/mapped_file.h"
#include "brxpack/simulate/windows_folders.h"
#include "system/system.h"

namespace brxpack {

// What a command's start came to.
enum class CommandFate {
  kStarted,     // the program exists in a mounted folder
  kUnchecked,   // the program lies outside the mounted folders: taken as present
  kNotStarted,  // no such program, or no such current folder: CreateProcess fails
};

// What the user saw and what the installer started, in the order of the run.
struct SeamEvent {
  enum class Kind { kStatus, kQuestion, kCommand };
  SeamEvent(Kind kind, std::string text, std::string caption = {}, std::string folder = {})
      : kind(kind), text(std::move(text)), caption(std::move(caption)), folder(std::move(folder)) {}
  Kind kind = Kind::kStatus;
  std::string text;     // the status text, the box's text, or the command line
  std::string caption;  // the box's caption, or the program's path
  std::string folder;   // the command's current folder
  uint32_t style = 0;   // the box's style
  int answer = 0;       // the box's answer
  CommandFate fate = CommandFate::kStarted;
  bool reportsFailure = false;  // the command left the error file behind
};

struct HostSystemOptions {
  HostName hostName = nullptr;
  int answer = brx::kIdOk;    // to every OK/Cancel box; an OK box is always answered OK
  bool commandsFail = false;  // every program started leaves the error file behind
};

class HostSystem : public brx::System {
 public:
  explicit HostSystem(const HostSystemOptions& options)
      : options_(options), folders_(options.hostName) {}

  WindowsFolders& folders() { return folders_; }
  HostRegistry& registry() { return registry_; }
  const std::vector<SeamEvent>& events() const { return events_; }
  // The first host call that failed for the host's own reason (a full disk,
  // an I/O error, no permission), naming the path and the error. Windows
  // would not have failed there, so a run that met one proves nothing.
  const std::optional<std::string>& hostFault() const { return fault_; }
  // Files, mappings, views, processes and registry keys still held.
  size_t OpenHandleCount() const { return handles_.size() + views_.size() + registry_.openKeys(); }

  brx::Handle OpenFileForReading(const char* path) override;
  brx::Handle CreateFileForWriting(const char* path) override;
  brx::Handle CreateNewFile(const char* path) override;
  std::optional<uint32_t> FileSize(brx::Handle file) override;
  brx::Handle CreateMapping(brx::Handle file, brx::MapAccess access, uint32_t size) override;
  uint8_t* MapView(brx::Handle mapping, brx::MapAccess access) override;
  bool UnmapView(const uint8_t* view) override;
  bool FillView(uint8_t* view, uint32_t size, ViewFill fill, void* context) override;
  bool Close(brx::Handle handle) override;
  bool CreateFolder(const char* path) override;
  bool RemoveFolder(const char* path) override;
  bool MovePath(const char* from, const char* to) override;
  bool DeletePath(const char* path) override;
  bool PathExists(const char* path) override;
  bool IsFolder(const char* path) override;
  // The simulation applies a package file it was given by name: the
  // installer never needs its own program's name there.
  bool OwnProgramPath(char*, uint32_t) override { return false; }
  bool StartProcess(const char* application, char* commandLine, const char* currentFolder,
                    brx::ProcessHandles* started) override;
  void WaitForProcess(brx::Handle process) override;
  long OpenRegistryKey(brx::RegistryRoot root, const char* path, uint32_t access,
                       brx::RegistryKey* key) override;
  long CreateRegistryKey(brx::RegistryRoot root, const char* path, brx::RegistryKey* key) override;
  long QueryRegistryValue(brx::RegistryKey key, const char* name, uint32_t* type, uint8_t* data,
                          uint32_t* size) override;
  long SetRegistryValue(brx::RegistryKey key, const char* name, uint32_t type, const uint8_t* data,
                        uint32_t size) override;
  void CloseRegistryKey(brx::RegistryKey key) override;
  void SetStatusText(const char* text) override;
  int AskUser(const char* text, const char* caption, uint32_t style) override;
  void ShowButton() override {}
  void SetButtonText(const char*) override {}

 private:
  enum class HandleKind { kFile, kMapping, kProcess };
  struct HandleInfo {
    HandleInfo(HandleKind kind, std::filesystem::path host, bool writable)
        : kind(kind), host(std::move(host)), writable(writable) {}
    HandleKind kind = HandleKind::kFile;
    std::filesystem::path host;
    bool writable = false;
    uint32_t size = 0;                         // a write mapping's size
    bool fresh = false;                        // a write mapping of a file that was empty
    std::shared_ptr<const MappedFile> mapped;  // a read mapping's bytes
  };
  struct ViewInfo {
    std::filesystem::path host;
    std::vector<uint8_t> bytes;  // a write view, written to the file when unmapped
    std::shared_ptr<const MappedFile> mapped;
  };

  brx::Handle NewHandle(HandleInfo info);
  // Records the first host fault; false, for the caller to return.
  bool Fault(const std::filesystem::path& host, const std::error_code& error);
  // A handle or view on the file, or on anything below the folder; with
  // writersOnly, only those that write.
  bool InUse(const std::filesystem::path& host, bool writersOnly = false) const;

  HostSystemOptions options_;
  WindowsFolders folders_;
  HostRegistry registry_;
  std::vector<SeamEvent> events_;
  std::map<brx::Handle, HandleInfo> handles_;
  std::map<const uint8_t*, ViewInfo> views_;
  brx::Handle next_ = 0x100;
  std::optional<std::string> fault_;
};

}  // namespace brxpack
