#include "system/win32_system.h"

#include "resources/resource_ids.h"
#include "system/win32_view_guard.h"

namespace brx {
namespace {

// The seam's one "no handle" stands for both failure values Win32 uses.
Handle FromWin32(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE ? kNoHandle : reinterpret_cast<Handle>(handle);
}
HANDLE ToWin32(Handle handle) {
  return reinterpret_cast<HANDLE>(handle);
}
HKEY ToWin32(RegistryRoot root) {
  return reinterpret_cast<HKEY>(static_cast<uintptr_t>(static_cast<uint32_t>(root)));
}
HKEY ToWin32Key(RegistryKey key) {
  return reinterpret_cast<HKEY>(key);
}

// The seam promises these values are Win32's own.
static_assert(kKeyQueryValue == KEY_QUERY_VALUE);
static_assert(kKeySetValueAndCreateSubKey == (KEY_SET_VALUE | KEY_CREATE_SUB_KEY));
static_assert(kKeyWrite == KEY_WRITE);
static_assert(kRegSz == REG_SZ && kRegDword == REG_DWORD);
static_assert(kRegistrySuccess == ERROR_SUCCESS);
static_assert(kMbOkCancel == MB_OKCANCEL && kMbIconExclamation == MB_ICONEXCLAMATION &&
              kMbIconInformation == MB_ICONINFORMATION);
static_assert(kIdOk == IDOK && kIdCancel == IDCANCEL);
// The start-up record's size is part of the CreateProcessA contract: 68 bytes
// on 32-bit Windows, 104 on 64-bit (its pointers and handles widen).
static_assert(sizeof(STARTUPINFOA) == (sizeof(void*) == 4 ? 68 : 104),
              "the start-up record has the size Windows expects");

}  // namespace

Handle Win32System::OpenFileForReading(const char* path) {
  return FromWin32(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
}

Handle Win32System::CreateFileForWriting(const char* path) {
  return FromWin32(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

Handle Win32System::CreateNewFile(const char* path) {
  return FromWin32(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::optional<uint32_t> Win32System::FileSize(Handle file) {
  // A size whose low part is 0xFFFFFFFF is told from a failure only by the
  // last error, which a success does not reset.
  SetLastError(NO_ERROR);
  DWORD high = 0;
  DWORD low = GetFileSize(ToWin32(file), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return std::nullopt;
  if (high != 0) return std::nullopt;
  return low;
}

Handle Win32System::CreateMapping(Handle file, MapAccess access, uint32_t size) {
  if (access == MapAccess::kRead) {
    return FromWin32(CreateFileMappingA(ToWin32(file), nullptr, PAGE_READONLY, 0, 0, nullptr));
  }
  return FromWin32(CreateFileMappingA(ToWin32(file), nullptr, PAGE_READWRITE, 0, size, nullptr));
}

uint8_t* Win32System::MapView(Handle mapping, MapAccess access) {
  DWORD desired = access == MapAccess::kRead ? FILE_MAP_READ : FILE_MAP_WRITE;
  return static_cast<uint8_t*>(MapViewOfFile(ToWin32(mapping), desired, 0, 0, 0));
}

bool Win32System::UnmapView(const uint8_t* view) {
  return UnmapViewOfFile(view) != FALSE;
}

bool Win32System::FillView(uint8_t* view, uint32_t size, ViewFill fill, void* context) {
  return FillViewGuarded(view, size, fill, context);
}

bool Win32System::Close(Handle handle) {
  return CloseHandle(ToWin32(handle)) != FALSE;
}

bool Win32System::CreateFolder(const char* path) {
  return CreateDirectoryA(path, nullptr) != FALSE;
}

bool Win32System::RemoveFolder(const char* path) {
  return RemoveDirectoryA(path) != FALSE;
}

bool Win32System::MovePath(const char* from, const char* to) {
  return MoveFileA(from, to) != FALSE;
}

bool Win32System::DeletePath(const char* path) {
  return DeleteFileA(path) != FALSE;
}

bool Win32System::PathExists(const char* path) {
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool Win32System::IsFolder(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Win32System::OwnProgramPath(char* buffer, uint32_t capacity) {
  // A name that fills the buffer was cut (and is unterminated before XP SP3).
  const DWORD length = GetModuleFileNameA(nullptr, buffer, capacity);
  return length != 0 && length < capacity;
}

bool Win32System::StartProcess(const char* application, char* commandLine,
                               const char* currentFolder, ProcessHandles* started) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(application, commandLine, nullptr, nullptr, FALSE, 0, nullptr, currentFolder,
                      &startup, &process)) {
    return false;
  }
  started->process = FromWin32(process.hProcess);
  started->thread = FromWin32(process.hThread);
  return true;
}

void Win32System::WaitForProcess(Handle process) {
  WaitForSingleObject(ToWin32(process), INFINITE);
}

long Win32System::OpenRegistryKey(RegistryRoot root, const char* path, uint32_t access,
                                  RegistryKey* key) {
  HKEY opened = nullptr;
  LONG result = RegOpenKeyExA(ToWin32(root), path, 0, access, &opened);
  *key = reinterpret_cast<RegistryKey>(opened);
  return result;
}

long Win32System::CreateRegistryKey(RegistryRoot root, const char* path, RegistryKey* key) {
  HKEY created = nullptr;
  DWORD disposition = 0;  // created or opened: the callers do not ask
  LONG result = RegCreateKeyExA(ToWin32(root), path, 0, nullptr, 0, KEY_WRITE, nullptr, &created,
                                &disposition);
  *key = reinterpret_cast<RegistryKey>(created);
  return result;
}

long Win32System::QueryRegistryValue(RegistryKey key, const char* name, uint32_t* type,
                                     uint8_t* data, uint32_t* size) {
  // DWORD is unsigned long here, a distinct type from uint32_t.
  DWORD valueType = 0;
  DWORD length = *size;
  LONG result = RegQueryValueExA(ToWin32Key(key), name, nullptr, &valueType, data, &length);
  *type = valueType;
  *size = length;
  return result;
}

long Win32System::SetRegistryValue(RegistryKey key, const char* name, uint32_t type,
                                   const uint8_t* data, uint32_t size) {
  return RegSetValueExA(ToWin32Key(key), name, 0, type, data, size);
}

void Win32System::CloseRegistryKey(RegistryKey key) {
  RegCloseKey(ToWin32Key(key));
}

void Win32System::SetStatusText(const char* text) {
  SetDlgItemTextA(progressWindow_, BRX_CONTROL_STATUS, text);
}

int Win32System::AskUser(const char* text, const char* caption, uint32_t style) {
  return MessageBoxA(progressWindow_, text, caption, style);
}

void Win32System::ShowButton() {
  ShowWindow(GetDlgItem(progressWindow_, IDOK), SW_SHOW);
}

void Win32System::SetButtonText(const char* text) {
  SetDlgItemTextA(progressWindow_, IDOK, text);
}

}  // namespace brx
