#pragma once
// Simulate's in-memory Windows (brxpack/simulate/simulated_windows.h) with
// faults for tests: the Nth call fails, or the process is killed at a call;
// and a log of every seam call. Every rule of Windows is the model's, so
// the tests and simulate agree by construction.
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "brxpack/simulate/simulated_windows.h"

namespace brx {

using brxpack::SeamEvent;

class FakeSystem : public brxpack::SimulatedWindows {
 public:
  static std::string NormalizePath(std::string_view path);
  // Set-up and inspection; parents are made as needed. Read-only refuses
  // deletes and CREATE_ALWAYS, hidden refuses CREATE_ALWAYS, as on Windows.
  void AddFolder(std::string_view path);
  void AddFile(std::string_view path, std::string_view content);
  void SetAttributes(std::string_view path, bool readOnly, bool hidden);
  void Remove(std::string_view path);  // a file, or a folder with all it holds
  std::optional<std::string> FileContent(std::string_view path) const;

  // What the window showed: texts, boxes as "caption | text | style", and
  // the programs that started.
  std::vector<std::string> StatusTexts() const;
  std::vector<std::string> MessageBoxes() const;
  std::vector<SeamEvent> Started() const;
  // Every file, folder, registry key and value by folded path, one entry
  // each: whole states compare at once.
  std::map<std::string, std::string> Snapshot() const;
  // FileSize reports these sizes (by folded path): files no test can hold.
  std::map<std::string, uint32_t> reportedSizes;
  std::deque<int> answers;     // to the OK/Cancel boxes in turn, then OK
  std::string ownProgramPath;  // what OwnProgramPath gives; empty: the call fails
  bool buttonShown = false;
  std::string buttonText;

  // The log and the faults. Calls are numbered from 0 across the whole seam.
  std::vector<std::string> calls;  // "Name argument | argument" for every call, while `log`
  std::map<std::string, uint64_t, std::less<>> callCounts;  // by name
  int callCount = 0;
  int failCallIndex = -1;  // this call fails
  std::map<std::string, int, std::less<>>
      failNthCall;  // "MovePath" -> its Nth (0-based) call fails
  // The process dies at this call: it and every later call fail without
  // effect, and what it held is released as Windows releases it.
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
  // Counts and logs the call; true when it is to fail.
  bool Fails(std::string_view call, std::string_view detail = {}, std::string_view more = {});
};

}  // namespace brx
