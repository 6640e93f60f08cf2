#pragma once
// An in-memory Windows for tests: a file tree with open handles and mapped
// views, a registry, scripted programs, the progress window's texts and
// answers to its message boxes, a log of every seam call, and faults: the
// Nth call fails, or the process is killed at a call. Paths compare like
// Windows paths: A to Z case-insensitive, doubled and trailing backslashes
// ignored.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "system/system.h"

namespace brx {

class FakeSystem : public System {
 public:
  struct ProcessStart {
    std::string application;
    std::string commandLine;
    std::string currentFolder;
    bool waited = false;
  };
  // What a started program does, run at its start.
  using Program = std::function<void(FakeSystem&, const ProcessStart&)>;

  // Set-up and inspection; parents are made as needed, drive roots always exist.
  void AddFolder(const std::string& path);
  void AddFile(const std::string& path, const std::string& content);
  void AddProgram(const std::string& path, Program behaviour = nullptr);
  // FILE_ATTRIBUTE_READONLY refuses deletes and CREATE_ALWAYS; HIDDEN refuses
  // CREATE_ALWAYS with FILE_ATTRIBUTE_NORMAL over the file, as Windows does.
  void SetAttributes(const std::string& path, bool readOnly, bool hidden);
  void Remove(const std::string& path);  // a file, or a folder with all it holds
  std::optional<std::string> FileContent(const std::string& path) const;
  bool HasFolder(const std::string& path) const;
  void AddRegistryKey(RegistryRoot root, const std::string& key);
  void PutRegistryValue(RegistryRoot root, const std::string& key, const std::string& name,
                        uint32_t type, const std::string& bytes);
  void PutRegistryDword(RegistryRoot root, const std::string& key, const std::string& name,
                        uint32_t value);
  void RemoveRegistryValue(RegistryRoot root, const std::string& key, const std::string& name);
  // Every file, folder, registry key and value, one entry each: whole states compare at once.
  std::map<std::string, std::string> Snapshot() const;
  // File, mapping, process and thread handles, views and registry keys still held.
  size_t OpenHandleCount() const;
  static std::string NormalizePath(std::string_view path);

  // The window.
  std::vector<std::string> statusTexts;   // every text shown, in order
  std::vector<std::string> messageBoxes;  // "caption | text | style"
  std::deque<int> answers;                // to the boxes in turn; kIdOk once used up
  bool buttonShown = false;
  std::string buttonText;

  // What OwnProgramPath gives; empty: the call fails.
  std::string ownProgramPath;

  std::vector<ProcessStart> started;  // programs that started, in order
  // FileSize reports these sizes (by normalized path): files no test can hold.
  std::map<std::string, uint32_t> reportedSizes;

  // The log and the faults. Calls are numbered from 0 across the whole seam.
  std::vector<std::string> calls;  // "Name argument | argument" for every call
  bool logCalls = true;            // false: neither calls nor started grow
  std::map<std::string, uint64_t, std::less<>> callCounts;  // by name
  int callCount = 0;
  int failCallIndex = -1;  // this call fails
  std::map<std::string, int, std::less<>>
      failNthCall;  // "MovePath" -> its Nth (0-based) call fails
  // The process dies at this call: it and every later call fail without
  // effect, and what it held is released as Windows releases what a killed
  // process held. What it wrote into a view stays in the file.
  int killAtCall = -1;
  bool killed = false;

  Handle OpenFileForReading(const char* path) override;
  Handle CreateFileForWriting(const char* path) override;
  Handle CreateNewFile(const char* path) override;
  std::optional<uint32_t> FileSize(Handle file) override;
  Handle CreateMapping(Handle file, MapAccess access, uint32_t size) override;
  uint8_t* MapView(Handle mapping, MapAccess access) override;
  bool UnmapView(const uint8_t* view) override;
  // An injected fault stands for a page the disk could not back: the fill
  // runs, then the second half of the view reads as never written.
  bool FillView(uint8_t* view, uint32_t size, ViewFill fill, void* context) override;
  bool Close(Handle handle) override;
  bool CreateFolder(const char* path) override;
  bool RemoveFolder(const char* path) override;
  bool MovePath(const char* from, const char* to) override;
  bool DeletePath(const char* path) override;
  bool PathExists(const char* path) override;
  bool IsFolder(const char* path) override;
  bool OwnProgramPath(char* buffer, uint32_t capacity) override;
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

 private:
  using Bytes = std::shared_ptr<std::vector<uint8_t>>;
  struct Node {
    bool isFolder = false;
    bool readOnly = false;
    bool hidden = false;
    Bytes content;
  };
  struct HandleInfo {
    std::string key;  // normalized path of the file, empty for a process or thread
    bool writable = false;
    bool mapping = false;
    Bytes content;
  };
  using RegistryValues =
      std::map<std::string, std::pair<uint32_t, std::string>>;  // by lower-case name
  struct OpenKey {
    std::string key;
    uint32_t access;
  };

  // Counts and logs the call; true when it is to fail.
  bool Fails(std::string_view call, std::string_view detail = {}, std::string_view more = {});
  bool ParentIsFolder(const std::string& key) const;
  bool InUse(const std::string& key) const;
  Handle NewHandle(HandleInfo info);
  RegistryKey OpenKeyHandle(std::string key, uint32_t access);
  static std::string RegistryPath(RegistryRoot root, std::string_view key);

  std::map<std::string, Node> nodes_;  // normalized path -> node
  std::map<Handle, HandleInfo> handles_;
  std::map<const uint8_t*, std::string> views_;  // view -> normalized path of its file
  std::map<std::string, Program> programs_;
  std::map<std::string, RegistryValues> registry_;  // "hklm\lower\path" -> key
  std::map<RegistryKey, OpenKey> openKeys_;
  std::map<Handle, size_t> processes_;  // process handle -> its entry in started
  uintptr_t nextHandle_ = 0x100;
};

}  // namespace brx
