#pragma once
// The in-memory Windows an installation runs on, simulate's and (with
// faults added, as FakeSystem) the unit tests', so the two agree by
// construction: files and folders by Windows' rules (simulated_paths.h),
// the registry (simulated_registry.h), programs, and what the user saw and
// what was started, in order. Mounted host files and folders are read on
// the host and changed there through a HostMirror; from the first mount on
// the model knows nothing else (nothing stands elsewhere, but a program
// there is taken as present).
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "brxpack/simulate/simulated_paths.h"
#include "brxpack/simulate/simulated_registry.h"
#include "package/memory_range.h"
#include "system/system.h"

namespace brxpack {

// What a command's start came to.
enum class CommandFate {
  kStarted,     // the program exists
  kUnchecked,   // the program lies outside what the model knows: taken as present
  kNotStarted,  // no such program, or no such current folder: CreateProcess fails
};

// What the user saw and what the installer started, in the order of the run.
struct SeamEvent {
  enum class Kind { kStatus, kQuestion, kCommand };
  Kind kind = Kind::kStatus;
  std::string text;       // the status text, the box's text, or the command line
  std::string caption{};  // the box's caption, or the program's path
  std::string folder{};   // the command's current folder
  uint32_t style = 0;     // the box's style
  int answer = 0;         // the box's answer
  CommandFate fate = CommandFate::kStarted;
  bool waited = false;          // the installer waited for the command
  bool reportsFailure = false;  // the command left the error file behind
};

// Where mounted files live on the host. The model asks for a change only
// once Windows' rules allow it; false (or nothing) when the host failed,
// which fails the call.
class HostMirror {
 public:
  // The first host call that failed for the host's own reason (a full disk,
  // an I/O error, no permission), naming the path and the error. Windows
  // would not have failed there, so a run that met one proves nothing.
  std::optional<std::string> fault;
  // Told of the bytes Write has put on the host so far, for progress.
  std::function<void(uint64_t bytes)> written;

  struct Entry {
    std::string name;  // ANSI; empty when no ANSI name spells the host's
    std::filesystem::path host;
    bool isFolder = false;
  };
  virtual ~HostMirror() = default;
  virtual std::vector<Entry> List(const std::filesystem::path& folder) = 0;  // sorted
  virtual std::filesystem::path Below(const std::filesystem::path& folder,
                                      const std::string& name) = 0;
  virtual bool MakeFolder(const std::filesystem::path& host) = 0;
  virtual bool Remove(const std::filesystem::path& host) = 0;  // a file or an empty folder
  virtual bool Move(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
  virtual bool Resize(const std::filesystem::path& host, uint32_t size) = 0;  // 0: new, empty
  virtual std::optional<uint64_t> Size(const std::filesystem::path& host) = 0;
  virtual std::shared_ptr<const brx::MemoryRange> Map(const std::filesystem::path& host) = 0;
  virtual bool Write(const std::filesystem::path& host, const std::vector<uint8_t>& bytes) = 0;
};

class SimulatedWindows : public brx::System {
 public:
  struct Node {
    std::string name;  // as spelled
    bool isFolder = false;
    bool readOnly = false;
    bool hidden = false;
    std::shared_ptr<std::vector<uint8_t>> bytes{};  // a file's, unless it lives on the host
    std::filesystem::path host{};                   // where a mounted one lives
  };
  // What a program does, run at its start; it may leave files, never texts.
  using Program = std::function<void(SimulatedWindows&, SeamEvent& command)>;

  explicit SimulatedWindows(HostMirror* mirror = nullptr) : mirror_(mirror) {}

  // `windowsPath` stands for the host file or folder, with all it holds.
  void Mount(std::string_view windowsPath, const std::filesystem::path& host, bool isFolder);
  SimulatedRegistry& registry() { return registry_; }
  const SimulatedRegistry& registry() const { return registry_; }

  int answer = brx::kIdOk;  // to OK/Cancel boxes; OK boxes are answered OK
  Program onStart;          // what every program started does
  bool log = true;          // false: commands and registry writes are not listed

  const std::vector<SeamEvent>& events() const { return events_; }
  // Files, mappings, views, processes and registry keys still held.
  size_t OpenHandleCount() const;
  // Releases all that is held, as Windows does for a killed process: what
  // was written into a view stays in the file.
  void ReleaseAll();

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
  // The simulation names its package file; nobody asks for its own name.
  bool OwnProgramPath(char*, uint32_t) override { return false; }
  bool StartProcess(const char* application, char* commandLine, const char* currentFolder,
                    brx::ProcessHandles* started) override;
  void WaitForProcess(brx::Handle process) override;
  long OpenRegistryKey(brx::RegistryRoot root, const char* path, uint32_t access,
                       brx::RegistryKey* key) override {
    return registry_.Open(root, path, access, key);
  }
  long CreateRegistryKey(brx::RegistryRoot root, const char* path, brx::RegistryKey* key) override {
    return registry_.Create(root, path, key, log);
  }
  long QueryRegistryValue(brx::RegistryKey key, const char* name, uint32_t* type, uint8_t* data,
                          uint32_t* size) override {
    return registry_.Query(key, name, type, data, size);
  }
  long SetRegistryValue(brx::RegistryKey key, const char* name, uint32_t type, const uint8_t* data,
                        uint32_t size) override {
    return registry_.Set(key, name, type, data, size, log);
  }
  void CloseRegistryKey(brx::RegistryKey key) override { registry_.Close(key); }
  void SetStatusText(const char* text) override;
  int AskUser(const char* text, const char* caption, uint32_t style) override;
  void ShowButton() override {}
  void SetButtonText(const char*) override {}

 protected:
  // The key of the file a handle is open on, or nothing.
  const std::string* FileOf(brx::Handle handle) const;

  std::map<std::string, Node> nodes_;  // by key (simulated_paths.h)

 private:
  struct Place;
  struct Held {
    enum class Kind { kFile, kMapping, kProcess } kind = Kind::kFile;
    std::string file{};  // its key
    bool writes = false;
    uint32_t size = 0;   // a mapping's
    size_t command = 0;  // a process's event
  };
  struct View {
    std::string file;
    bool writes = false;
    std::vector<uint8_t> bytes{};        // a write view's: they reach the file when it goes
    std::shared_ptr<const void> kept{};  // what keeps a read view's bytes
  };

  Place Find(std::string_view path);
  bool Known(const std::string& key) const;
  // A drive or a mount: never removed or moved.
  bool Fixed(const std::string& key) const;
  bool HoldsAnything(const std::string& folder) const;
  // A handle or view on the file, or on anything below the folder; with
  // writersOnly, only those that write.
  bool InUse(const std::string& key, bool writersOnly = false) const;
  // The folder that holds, or would hold, what is at the place.
  Node* FolderOf(const Place& place);
  std::filesystem::path HostBelow(const Node& folder, const Place& place);
  brx::Handle Create(const Place& file);
  bool Erase(const Place& place);
  brx::MemoryRange Contents(const Node& node, std::shared_ptr<const void>* kept);
  bool Store(const View& view);
  void Load(const std::string& key, const std::filesystem::path& host);
  brx::Handle NewHandle(Held held);

  HostMirror* mirror_;
  std::vector<std::string> mounts_;
  size_t unreachable_ = 0;
  std::map<brx::Handle, Held> handles_;
  std::multimap<const uint8_t*, View> views_;
  brx::Handle next_ = 0x100;
  SimulatedRegistry registry_;
  std::vector<SeamEvent> events_;
};

}  // namespace brxpack
