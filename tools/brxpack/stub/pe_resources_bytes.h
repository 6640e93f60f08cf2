#pragma once
// Little-endian 16- and 32-bit fields of Windows programs and their
// resources, beside package/format.h's 32-bit reader and writer.
#include <cstdint>
#include <vector>

#include "package/format.h"

namespace brxpack {

inline uint16_t ReadLe16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

inline void WriteLe16(uint8_t* bytes, uint16_t value) {
  bytes[0] = static_cast<uint8_t>(value);
  bytes[1] = static_cast<uint8_t>(value >> 8);
}

inline void AppendLe16(std::vector<uint8_t>& bytes, uint16_t value) {
  bytes.push_back(static_cast<uint8_t>(value));
  bytes.push_back(static_cast<uint8_t>(value >> 8));
}

inline void AppendLe32(std::vector<uint8_t>& bytes, uint32_t value) {
  AppendLe16(bytes, static_cast<uint16_t>(value));
  AppendLe16(bytes, static_cast<uint16_t>(value >> 16));
}

}  // namespace brxpack
