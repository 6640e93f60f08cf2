#pragma once
// The seam's real implementation: each method is one ANSI Win32 call with
// the arguments system.h names, and nothing more. All decisions stay in the
// steps and the driver, which the host tests cover through FakeSystem.
#include <windows.h>

#include "system/system.h"

namespace brx {

class Win32System final : public System {
 public:
  // The window side (status line, message boxes, button) works on this
  // window's controls; it belongs to the window thread, which serves the calls.
  explicit Win32System(HWND progressWindow) : progressWindow_(progressWindow) {}

  Handle OpenFileForReading(const char* path) override;
  Handle CreateFileForWriting(const char* path) override;
  Handle CreateNewFile(const char* path) override;
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
  bool OwnProgramPath(char* buffer, uint32_t capacity) override;

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
  HWND progressWindow_;
};

}  // namespace brx
