#pragma once
// Whether two files hold the same bytes, read side by side in large chunks:
// each file is read once, and no further than its first difference.
#include <cstdint>
#include <filesystem>

#include "brxpack/result.h"

namespace brxpack {

// Sizes are the caller's (it has listed both files); different sizes are a
// difference without a read. Fails, naming the file, when one cannot be read.
Result<bool> SameContents(const std::filesystem::path& a, uint64_t sizeA,
                          const std::filesystem::path& b, uint64_t sizeB);

}  // namespace brxpack
