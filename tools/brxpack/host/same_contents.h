#pragma once
// Whether files hold the same bytes, read side by side in large chunks:
// each file is read at most once, and no further than its first difference.
#include <cstdint>
#include <filesystem>
#include <vector>

#include "brxpack/result.h"

namespace brxpack {

struct SizedFile {
  std::filesystem::path path;
  uint64_t size = 0;  // the caller's (it has listed the file)
};

// For each of `others`, whether it holds the bytes of `reference`. The
// reference is read once for all of them, and no further than the last
// difference it still has to find; a file of another size is not opened.
// Fails, naming the file, when one cannot be read.
Result<std::vector<bool>> SameContentsAsEach(const SizedFile& reference,
                                             const std::vector<SizedFile>& others);

}  // namespace brxpack
