#include "brxpack/host/byte_size.h"

#include <cstdio>
#include <iterator>

namespace brxpack {

std::string ReadableSize(uint64_t bytes) {
  if (bytes < 10000) return Counted(bytes, "byte", "bytes");
  // The unit is chosen after rounding, so 999,999 bytes read "1.0 MB", not
  // "1000.0 KB".
  static constexpr const char* kUnits[] = {"KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes) / 1e3;
  size_t unit = 0;
  while (value >= 999.95 && unit + 1 < std::size(kUnits)) {
    value /= 1e3;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

}  // namespace brxpack
