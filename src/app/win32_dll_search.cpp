// Where the loader may look for DLLs loaded by bare name. PATCH.EXE runs
// elevated, mostly from a downloads folder where anyone's files may lie
// beside it; system DLLs load further ones by bare name (uxtheme, dwmapi,
// version, ...), and a search that starts in the program's folder would load
// a planted one into the elevated process. Only System32 is searched.
//
// The image's load configuration (DependentLoadFlags) would restrict the
// search for the program's own imports too, before any code runs, but the
// GNU linker of this toolchain (binutils 2.40) does not fill the load
// configuration entry from a _load_config_used definition. The imports
// themselves are KnownDLLs.
#include "app/win32_dll_search.h"

namespace brx {

void RestrictDllSearch() {
  // Looked up at run time: systems without the call (Windows 7 without its
  // update, Vista, XP) still start, with their default search.
  using SetDefaultDllDirectoriesCall = BOOL(WINAPI*)(DWORD);
  const FARPROC found =
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
  if (found == nullptr) return;
  // Through a function type without parameters, as casts between unrelated
  // function types require.
  const auto setDefaultDllDirectories =
      reinterpret_cast<SetDefaultDllDirectoriesCall>(reinterpret_cast<void (*)()>(found));
  // Not looked at: where the call fails the default search stays, as on a
  // system without it.
  setDefaultDllDirectories(kSearchSystem32Only);
}

}  // namespace brx
