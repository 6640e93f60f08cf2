#pragma once
// A file, or a part of it, read into memory, checked to be the size it had when it was
// listed. Payload files are read, not mapped: a file that shrinks under a
// mapping ends the process (SIGBUS) with no word of which file it was, and
// leaves the outputs of the run behind; a read reports it as a value.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "brxpack/result.h"

namespace brxpack {

// Fails, naming the file, when it cannot be opened or read, when its size is
// not `listedSize` (given), or when it shrinks or grows while being read.
Result<std::vector<uint8_t>> ReadWholeFile(const std::filesystem::path& path,
                                           std::optional<uint64_t> listedSize);

// The part of it at `offset`, `size` bytes long, read into `bytes`, with the
// same checks against `listedSize`; a part that reaches the end also finds
// nothing behind it. For files read piece by piece.
Status ReadFilePart(const std::filesystem::path& path, uint64_t listedSize, uint64_t offset,
                    size_t size, std::vector<uint8_t>& bytes);

}  // namespace brxpack
