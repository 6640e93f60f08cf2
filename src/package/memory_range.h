#pragma once
#include <cstdint>

namespace brx {

// A view of bytes owned by someone else: a mapped file, a section block.
struct MemoryRange {
  const uint8_t* data = nullptr;
  uint32_t size = 0;
};

}  // namespace brx
