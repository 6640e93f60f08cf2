#pragma once
// The operating-system seam: everything an installation asks of Windows.
// Win32System passes each call to the ANSI Win32 function named beside it;
// tests use an in-memory FakeSystem. Steps and the driver hold all the logic
// and call only this interface, so a whole installation runs headless.
#include <cstdint>
#include <optional>

namespace brx {

// Opaque handle; kNoHandle stands for both INVALID_HANDLE_VALUE and NULL.
using Handle = uintptr_t;
inline constexpr Handle kNoHandle = 0;

using RegistryKey = uintptr_t;

enum class MapAccess { kRead, kWrite };

// Registry roots carry their Win32 values so the pass-through stays trivial.
enum class RegistryRoot : uint32_t { kCurrentUser = 0x80000001u, kLocalMachine = 0x80000002u };

// Access masks, registry types, message box styles and answers: Win32 values.
inline constexpr uint32_t kKeyQueryValue = 0x0001;
inline constexpr uint32_t kKeySetValueAndCreateSubKey = 0x0006;
inline constexpr uint32_t kKeyWrite = 0x20006;
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegDword = 4;
inline constexpr long kRegistrySuccess = 0;  // ERROR_SUCCESS
// Failures an in-memory registry gives as Windows gives them.
inline constexpr uint32_t kKeySetValue = 0x0002;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorAccessDenied = 5;
inline constexpr long kErrorInvalidHandle = 6;
inline constexpr long kErrorMoreData = 234;
inline constexpr uint32_t kMbOk = 0x00;
inline constexpr uint32_t kMbOkCancel = 0x01;
inline constexpr uint32_t kMbIconExclamation = 0x30;  // also MB_ICONWARNING
inline constexpr uint32_t kMbIconInformation = 0x40;
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

struct ProcessHandles {
  Handle process = kNoHandle;
  Handle thread = kNoHandle;
};

class System {
 public:
  virtual ~System() = default;

  // Files.
  // CreateFileA: GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL.
  virtual Handle OpenFileForReading(const char* path) = 0;
  // CreateFileA: GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS,
  // FILE_ATTRIBUTE_NORMAL.
  virtual Handle CreateFileForWriting(const char* path) = 0;
  // CreateFileA: the same, but CREATE_NEW: fails when anything stands at the
  // path, so whatever was there is never truncated.
  virtual Handle CreateNewFile(const char* path) = 0;
  // GetFileSize; nothing for a failure or a file of 4 GiB or more.
  virtual std::optional<uint32_t> FileSize(Handle file) = 0;
  // CreateFileMappingA: PAGE_READONLY with size 0 (the whole file) for kRead,
  // PAGE_READWRITE with the given size for kWrite (which sets the file's length).
  virtual Handle CreateMapping(Handle file, MapAccess access, uint32_t size) = 0;
  // MapViewOfFile of the whole mapping: FILE_MAP_READ or FILE_MAP_WRITE.
  virtual uint8_t* MapView(Handle mapping, MapAccess access) = 0;
  virtual bool UnmapView(const uint8_t* view) = 0;  // UnmapViewOfFile
  // Produces a new file's contents in its write view: fill(context, view).
  // Gives fill's result, or false when writing the view faulted because its
  // pages could not be backed by the file (under Wine a grown file is
  // sparse, so a full disk shows here; on Windows a drive that went away).
  // What was written before the fault stays in the view.
  using ViewFill = bool (*)(void* context, uint8_t* view);
  virtual bool FillView(uint8_t* view, uint32_t size, ViewFill fill, void* context) = 0;
  virtual bool Close(Handle handle) = 0;            // CloseHandle
  virtual bool CreateFolder(const char* path) = 0;  // CreateDirectoryA, default security
  virtual bool RemoveFolder(const char* path) = 0;  // RemoveDirectoryA
  virtual bool MovePath(const char* from, const char* to) = 0;  // MoveFileA
  virtual bool DeletePath(const char* path) = 0;                // DeleteFileA
  virtual bool PathExists(const char* path) = 0;                // GetFileAttributesA succeeds
  // GetFileAttributesA succeeds and gives FILE_ATTRIBUTE_DIRECTORY.
  virtual bool IsFolder(const char* path) = 0;

  // GetModuleFileNameA of the program itself into a buffer of `capacity`
  // bytes. False when it fails or the name does not fit.
  virtual bool OwnProgramPath(char* buffer, uint32_t capacity) = 0;

  // Processes.
  // CreateProcessA(application, commandLine, no attributes, no inheritance,
  // flags 0, inherited environment, currentFolder, STARTUPINFOA of size 68).
  virtual bool StartProcess(const char* application, char* commandLine, const char* currentFolder,
                            ProcessHandles* started) = 0;
  virtual void WaitForProcess(Handle process) = 0;  // WaitForSingleObject INFINITE

  // Registry; results are Win32 error codes (kRegistrySuccess).
  virtual long OpenRegistryKey(RegistryRoot root, const char* path, uint32_t access,
                               RegistryKey* key) = 0;  // RegOpenKeyExA, options 0
  // RegCreateKeyExA: reserved 0, no class, options 0, KEY_WRITE, no security.
  virtual long CreateRegistryKey(RegistryRoot root, const char* path, RegistryKey* key) = 0;
  // RegQueryValueExA; *size is the buffer's length in and the value's length out.
  virtual long QueryRegistryValue(RegistryKey key, const char* name, uint32_t* type, uint8_t* data,
                                  uint32_t* size) = 0;
  virtual long SetRegistryValue(RegistryKey key, const char* name, uint32_t type,
                                const uint8_t* data, uint32_t size) = 0;  // RegSetValueExA
  virtual void CloseRegistryKey(RegistryKey key) = 0;                     // RegCloseKey

  // The progress window, served by the window thread.
  virtual void SetStatusText(const char* text) = 0;  // SetDlgItemTextA, control 1000
  // MessageBoxA owned by the progress window; gives the button pressed.
  virtual int AskUser(const char* text, const char* caption, uint32_t style) = 0;
  virtual void ShowButton() = 0;                     // ShowWindow(control 1, SW_SHOW)
  virtual void SetButtonText(const char* text) = 0;  // SetDlgItemTextA, control 1
};

}  // namespace brx
