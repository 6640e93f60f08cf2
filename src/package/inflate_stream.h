#pragma once
#include <cstdint>

namespace brx {

// Inflates one zlib stream held wholly in memory with a single inflate call
// that is given all input and all output space. True only when the stream
// ended (zlib has checked its Adler-32) with exactly destinationLength bytes
// produced. The destination never receives more than destinationLength bytes.
bool InflateStream(const uint8_t* source, uint32_t sourceLength, uint8_t* destination,
                   uint32_t destinationLength);

}  // namespace brx
