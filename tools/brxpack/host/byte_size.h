#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace brxpack {

// "1 byte", "812 bytes", "45.3 KB", "12.0 MB", "4.3 GB": sizes as a person
// reads them, in decimal units everywhere the tool prints a size.
std::string ReadableSize(uint64_t bytes);

// "1 entry", "3 entries": a count with its noun in the right number.
inline std::string Counted(uint64_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

}  // namespace brxpack
