#pragma once
// Keeps DLLs planted beside the program out of it: the first thing
// PATCH.EXE does.
#include <windows.h>

namespace brx {

// LOAD_LIBRARY_SEARCH_SYSTEM32: DLLs loaded by bare name come from System32.
inline constexpr DWORD kSearchSystem32Only = 0x00000800;

// SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) where the system
// has it; nothing where it does not.
void RestrictDllSearch();

}  // namespace brx
