#pragma once
#include <cstdint>
#include <string>

namespace brxpack {

// "812 bytes", "45.3 KB", "12.0 MB": sizes as a person reads them.
std::string ReadableSize(uint64_t bytes);

}  // namespace brxpack
