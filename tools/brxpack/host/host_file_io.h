#pragma once
// Plain file reading and writing on the host with every error kept: a full
// disk, an I/O error or a missing permission is returned, never lost in a
// buffer or a short copy.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <system_error>
#include <vector>

#include "brxpack/result.h"

namespace brxpack {

// fopen for any path the system can name (wide names on Windows).
std::FILE* OpenHostFile(const std::filesystem::path& path, const char* mode);

// The error of the last failed C library call (EIO when it left none).
std::error_code LastHostError();

// Copies a file's bytes to a new file, checked to the close. The standard
// library's copy_file can report success for a copy cut short by a full
// disk or a file-size limit.
std::error_code CopyHostFile(const std::filesystem::path& from, const std::filesystem::path& to);

// Copies what a folder holds into an existing folder, entry by entry (a
// recursive fs::copy into an existing folder fails on some standard
// libraries). `at` names the last copy made or tried; `copied` is told the
// size of each file copied.
std::error_code CopyHostFolder(const std::filesystem::path& from, const std::filesystem::path& to,
                               std::filesystem::path& at,
                               const std::function<void(uint64_t bytes)>& copied = {});

// A whole file read into memory. Payload files are read, not mapped: a file
// that shrinks under a mapping ends the process (SIGBUS) with no word of
// which file it was, and leaves the outputs of the run behind; a read
// reports it as a value. Fails, naming the file, when it cannot be opened or
// read, when its size is not `listedSize` (given), or when it shrinks or
// grows while being read.
Result<std::vector<uint8_t>> ReadWholeFile(const std::filesystem::path& path,
                                           std::optional<uint64_t> listedSize);

// The part of it at `offset`, `size` bytes long, read into `bytes`, with the
// same checks against `listedSize`; a part that reaches the end also finds
// nothing behind it. For files read piece by piece.
Status ReadFilePart(const std::filesystem::path& path, uint64_t listedSize, uint64_t offset,
                    size_t size, std::vector<uint8_t>& bytes);

struct SizedFile {
  std::filesystem::path path;
  uint64_t size = 0;  // the caller's (it has listed the file)
};

// For each of `others`, whether it holds the bytes of `reference`, read side
// by side in large chunks. The reference is read once for all of them, and no further than the last
// difference it still has to find; a file of another size is not opened.
// Fails, naming the file, when one cannot be read.
Result<std::vector<bool>> SameContentsAsEach(const SizedFile& reference,
                                             const std::vector<SizedFile>& others);

}  // namespace brxpack
