#include "steps/read_registry_value.h"

#include <cstring>

#include "package/format.h"
#include "run/status.h"
#include "run/user_texts.h"

namespace brx {

namespace {

void MakeEmpty(RegistryValueBuffer* value, uint32_t* type) {
  std::memset(value->bytes, 0, sizeof value->bytes);
  value->size = 0;
  *type = 0;
}

}  // namespace

bool ReadRegistryValue(System& system, RegistryRoot root, const char* keyPath,
                       const char* valueName, RegistryValueBuffer* value, uint32_t* type,
                       bool quiet) {
  MakeEmpty(value, type);
  RegistryKey key = 0;
  if (system.OpenRegistryKey(root, keyPath, kKeyQueryValue, &key) != kRegistrySuccess) {
    if (!quiet) ShowStatus(system, kRegistryKeyErrorFormat, keyPath);
    return false;
  }
  uint32_t valueType = 0;
  uint32_t size = kRegistryValueCapacity;
  const long result = system.QueryRegistryValue(key, valueName, &valueType, value->bytes, &size);
  // A reported size beyond what was offered would place the terminator past
  // the buffer; it cannot come from a successful read, so it counts as failed.
  if (result != kRegistrySuccess || size > kRegistryValueCapacity) {
    if (!quiet) ShowStatus(system, kRegistryReadErrorFormat, valueName);
    system.CloseRegistryKey(key);
    // A value too long for the buffer may have left part of itself there.
    MakeEmpty(value, type);
    return false;
  }
  value->bytes[size] = 0;
  value->size = size;
  *type = valueType;
  system.CloseRegistryKey(key);
  return true;
}

int32_t InstalledLevel(System& system, const char* keyPath, const char* levelValueName,
                       RegistryValueBuffer* buffer) {
  uint32_t type = 0;
  if (!ReadRegistryValue(system, RegistryRoot::kLocalMachine, keyPath, levelValueName, buffer,
                         &type, /*quiet=*/true)) {
    return 0;
  }
  if (type != kRegDword || buffer->size < 4) return 0;
  return static_cast<int32_t>(ReadLe32(buffer->bytes));
}

}  // namespace brx
