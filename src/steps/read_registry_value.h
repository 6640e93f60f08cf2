#pragma once
#include <cstdint>

#include "run/run_state.h"
#include "system/system.h"

namespace brx {

// One registry value's bytes. Behind the longest value there is room for the
// terminator ReadRegistryValue adds, so a text stored without its own ends
// at its length and is never read past.
struct RegistryValueBuffer {
  uint8_t bytes[kRegistryValueCapacity + 1];
  uint32_t size;  // bytes the registry gave; 0 when nothing was read

  const char* text() const { return reinterpret_cast<const char*>(bytes); }
};

// Reads one value of root\keyPath into *value and its registry type into
// *type. False when the key cannot be opened or the value cannot be read
// (missing, or longer than 512 bytes); unless quiet, the status line then
// says which. On false the buffer holds an empty text and the type is 0.
bool ReadRegistryValue(System& system, RegistryRoot root, const char* keyPath,
                       const char* valueName, RegistryValueBuffer* value, uint32_t* type,
                       bool quiet);

// The installed patch level under HKEY_LOCAL_MACHINE\keyPath, as discovery
// reads it: only a REG_DWORD of at least four bytes counts; any other value
// (a text holding digits among them), or none, reads as level 0. Quiet.
int32_t InstalledLevel(System& system, const char* keyPath, const char* levelValueName,
                       RegistryValueBuffer* buffer);

}  // namespace brx
