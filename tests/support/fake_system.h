#pragma once
// An in-memory Windows for tests: a file tree with open handles and mapped
// views, a registry, scripted programs, the progress window's texts and
// scripted answers to message boxes, a log of every call, and fault
// injection ("the Nth call fails"). Paths compare like Windows paths: A to Z
// case-insensitive, doubled backslashes and a trailing backslash ignored.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "system/system.h"

namespace brx {

class FakeSystem : public System {
 public:
  struct RegistryValue {
    uint32_t type = 0;
    std::string bytes;
  };
  struct MessageBoxSeen {
    std::string text;
    std::string caption;
    uint32_t style;
  };
  struct ProcessStart {
    std::string application;
    std::string commandLine;
    std::string currentFolder;
  };
  // What a started program does, run at its start.
  using ProgramBehaviour = std::function<void(FakeSystem&, const ProcessStart&)>;

  FakeSystem();
  ~FakeSystem() override;

  // File tree set-up and inspection. Drive roots ("C:") always exist.
  void AddFolder(const std::string& path);                            // with its parents
  void AddFile(const std::string& path, const std::string& content);  // creates parents
  void SetReadOnly(const std::string& path, bool readOnly);
  bool HasFile(const std::string& path) const;
  bool HasFolder(const std::string& path) const;
  std::optional<std::string> FileContent(const std::string& path) const;
  // Every file, as "path=content" keyed by display path; folders listed as "path\".
  std::map<std::string, std::string> Snapshot() const;
  size_t OpenHandleCount() const { return handles_.size(); }

  // Registry set-up and inspection.
  void AddRegistryKey(RegistryRoot root, const std::string& key);
  void PutRegistryValue(RegistryRoot root, const std::string& key, const std::string& name,
                        uint32_t type, const std::string& bytes);
  void PutRegistryText(RegistryRoot root, const std::string& key, const std::string& name,
                       const std::string& text);  // REG_SZ with its terminator
  void PutRegistryDword(RegistryRoot root, const std::string& key, const std::string& name,
                        uint32_t value);
  bool HasRegistryKey(RegistryRoot root, const std::string& key) const;
  std::optional<RegistryValue> GetRegistryValue(RegistryRoot root, const std::string& key,
                                                const std::string& name) const;
  void DenyRegistryWrites(RegistryRoot root, const std::string& key);

  // Programs: a file must stand at the path for a start to succeed.
  void AddProgram(const std::string& path, ProgramBehaviour behaviour = nullptr);

  // The window.
  std::vector<std::string> statusTexts;  // every text shown, in order
  std::string statusText;                // the latest
  std::vector<MessageBoxSeen> messageBoxes;
  std::deque<int> answers;  // answers to message boxes in turn; kIdOk when empty
  bool buttonShown = false;
  std::string buttonText;

  std::vector<ProcessStart> started;
  std::vector<uint32_t> registryOpenAccesses;  // the access of every OpenRegistryKey call
  std::vector<std::string> calls;              // "Name arg1 | arg2" for every seam call

  // Fault injection. Calls are counted from 0 across the whole seam.
  int failCallIndex = -1;                  // this call fails
  std::map<std::string, int> failNthCall;  // "MovePath" -> the Nth (0-based) call of it fails
  int callCount = 0;

  // System.
  Handle OpenFileForReading(const char* path) override;
  Handle CreateFileForWriting(const char* path) override;
  std::optional<uint32_t> FileSize(Handle file) override;
  Handle CreateMapping(Handle file, MapAccess access, uint32_t size) override;
  uint8_t* MapView(Handle mapping, MapAccess access) override;
  bool UnmapView(const uint8_t* view) override;
  // An injected fault stands for a page that could not be backed: the fill
  // runs, then the second half of the view reads as never written (zero).
  bool FillView(uint8_t* view, uint32_t size, ViewFill fill, void* context) override;
  bool Close(Handle handle) override;
  bool CreateFolder(const char* path) override;
  bool RemoveFolder(const char* path) override;
  bool MovePath(const char* from, const char* to) override;
  bool DeletePath(const char* path) override;
  bool PathExists(const char* path) override;
  bool IsFolder(const char* path) override;
  bool StartProcess(const char* application, char* commandLine, const char* currentFolder,
                    ProcessHandles* startedProcess) override;
  void WaitForProcess(Handle process) override;
  long OpenRegistryKey(RegistryRoot root, const char* path, uint32_t access,
                       RegistryKey* key) override;
  long CreateRegistryKey(RegistryRoot root, const char* path, RegistryKey* key) override;
  long QueryRegistryValue(RegistryKey key, const char* name, uint32_t* type, uint8_t* data,
                          uint32_t* size) override;
  long SetRegistryValue(RegistryKey key, const char* name, uint32_t type, const uint8_t* data,
                        uint32_t size) override;
  void CloseRegistryKey(RegistryKey key) override;
  void SetStatusText(const char* text) override;
  int AskUser(const char* text, const char* caption, uint32_t style) override;
  void ShowButton() override;
  void SetButtonText(const char* text) override;

  static std::string NormalizePath(const std::string& path);

 private:
  struct Node {
    std::string displayPath;
    bool isFolder = false;
    bool readOnly = false;
    std::shared_ptr<std::vector<uint8_t>> content;
  };
  struct HandleInfo {
    enum Kind { kFile, kMapping, kProcess, kThread } kind;
    std::string key;  // normalized path of the file
    bool writable = false;
    std::shared_ptr<std::vector<uint8_t>> content;
  };
  struct RegistryKeyNode {
    std::map<std::string, std::pair<std::string, RegistryValue>>
        values;  // lower name -> (name, value)
    bool denyWrites = false;
  };
  struct OpenKey {
    std::string key;
    uint32_t access;
  };

  bool InjectFault(const std::string& call, const std::string& detail);
  bool ParentExists(const std::string& key) const;
  bool IsOpen(const std::string& key) const;
  Handle NewHandle(HandleInfo info);
  static std::string RegistryPath(RegistryRoot root, const std::string& key);

  std::map<std::string, Node> nodes_;  // normalized path -> node
  std::map<Handle, HandleInfo> handles_;
  std::map<const uint8_t*, Handle> views_;  // view -> its mapping
  std::map<std::string, ProgramBehaviour> programs_;
  std::map<std::string, RegistryKeyNode> registry_;  // "HKLM\lower\path" -> key
  std::map<RegistryKey, OpenKey> openKeys_;
  std::map<std::string, int> callsByName_;
  uintptr_t nextHandle_ = 0x100;
};

}  // namespace brx
