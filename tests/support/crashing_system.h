#pragma once
// A process that is killed: every seam call goes to a FakeSystem until the
// call numbered `crashAt` (0-based), which with every call after it has no
// effect and fails, as for a program that died just before making it. At
// that moment the handles, views and keys the program held are released,
// as Windows releases those of a killed process; what it wrote into a view
// stays in the file.
#include <cstdint>
#include <set>

#include "support/fake_system.h"

namespace brx {

class CrashingSystem : public System {
 public:
  CrashingSystem(FakeSystem& system, int crashAt) : system_(system), crashAt_(crashAt) {}

  bool crashed() const { return crashed_; }
  int callCount() const { return calls_; }

  Handle OpenFileForReading(const char* path) override;
  Handle CreateFileForWriting(const char* path) override;
  std::optional<uint32_t> FileSize(Handle file) override;
  Handle CreateMapping(Handle file, MapAccess access, uint32_t size) override;
  uint8_t* MapView(Handle mapping, MapAccess access) override;
  bool UnmapView(const uint8_t* view) override;
  bool FillView(uint8_t* view, uint32_t size, ViewFill fill, void* context) override;
  bool Close(Handle handle) override;
  bool CreateFolder(const char* path) override;
  bool RemoveFolder(const char* path) override;
  bool MovePath(const char* from, const char* to) override;
  bool DeletePath(const char* path) override;
  bool PathExists(const char* path) override;
  bool IsFolder(const char* path) override;
  bool StartProcess(const char* application, char* commandLine, const char* currentFolder,
                    ProcessHandles* started) override;
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
  // Counts the call; false once the program is dead.
  bool Alive();
  Handle Held(Handle handle);

  FakeSystem& system_;
  const int crashAt_;
  int calls_ = 0;
  bool crashed_ = false;
  std::set<Handle> handles_;
  std::set<const uint8_t*> views_;
  std::set<RegistryKey> keys_;
};

}  // namespace brx
