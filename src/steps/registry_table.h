#pragma once
// One value of the registry table.
#include <cstdint>

#include "system/system.h"

namespace brx {

// Opens or creates the key and writes the value: type 1 the number parsed
// from data as REG_DWORD, type 2 data as REG_SZ with its terminator, any
// other type nothing (the key is only created). Best-effort: a key that
// cannot be created is passed over and a write's result is not examined.
void WriteRegistryValue(System& system, RegistryRoot root, const char* key, uint32_t type,
                        const char* valueName, const char* data);

}  // namespace brx
