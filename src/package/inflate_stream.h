#pragma once
#include <cstdint>

namespace brx {

// Deflate cannot expand its input by more than about 1032:1. A size beyond
// this bound cannot come from a stream of compressedSize bytes, so it is
// refused before anything of that size is allocated or inflated.
inline bool CouldInflateTo(uint32_t compressedSize, uint64_t size) {
  constexpr uint64_t kMaxInflateRatio = 1032;
  constexpr uint64_t kInflateSlack = 1024;
  return size <= uint64_t{compressedSize} * kMaxInflateRatio + kInflateSlack;
}

// Inflates one zlib stream held wholly in memory with a single inflate call
// that is given all input and all output space. True only when the stream
// ended (zlib has checked its Adler-32) with exactly destinationLength bytes
// produced. The destination never receives more than destinationLength bytes.
bool InflateStream(const uint8_t* source, uint32_t sourceLength, uint8_t* destination,
                   uint32_t destinationLength);

}  // namespace brx
