// subsystem: windows
// dll_search_probe MODE [NAME]: with MODE "restrict" the first statement
// restricts the DLL search to System32 as PATCH.EXE does ("default" leaves
// the search as it is); then NAME, if given, is loaded by bare name. Exit
// code: 0 loaded from outside the program's folder, 1 loaded from the
// program's folder, 2 not loaded, 3 bad use. It imports what PATCH.EXE
// imports, so that run without NAME it shows which DLLs the system loads
// before any program code runs.
#include <windows.h>

#include <cstring>

#include "app/win32_dll_search.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc >= 2 && std::strcmp(__argv[1], "restrict") == 0) brx::RestrictDllSearch();
  if (__argc < 2 ||
      (std::strcmp(__argv[1], "restrict") != 0 && std::strcmp(__argv[1], "default") != 0)) {
    return 3;
  }
  // The imports of PATCH.EXE: user32 and advapi32 beside kernel32 and msvcrt.
  if (GetSystemMetrics(SM_CXSCREEN) < 0 || RegCloseKey(HKEY_CURRENT_USER) < 0) return 3;
  if (__argc < 3) return 0;
  const HMODULE loaded = LoadLibraryA(__argv[2]);
  if (loaded == nullptr) return 2;
  char own[MAX_PATH];
  char found[MAX_PATH];
  const DWORD ownLength = GetModuleFileNameA(nullptr, own, sizeof own);
  const DWORD foundLength = GetModuleFileNameA(loaded, found, sizeof found);
  if (ownLength == 0 || ownLength >= sizeof own || foundLength == 0 ||
      foundLength >= sizeof found) {
    return 3;
  }
  const size_t folder = static_cast<size_t>(std::strrchr(own, '\\') - own) + 1;
  return foundLength > folder &&
                 CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, own, folder, found, folder) ==
                     CSTR_EQUAL &&
                 std::strchr(found + folder, '\\') == nullptr
             ? 1
             : 0;
}
