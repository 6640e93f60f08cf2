#pragma once
// An output that appears whole or not at all: bytes go to a temporary file
// beside the final name, which is renamed over the final name only by
// Commit. Dropping the object without Commit deletes the temporary file, and
// so does an interruption of the process (interrupt_cleanup.h).
#include <cstdint>
#include <filesystem>

#include "brxpack/result.h"

namespace brxpack {

class AtomicOutputFile {
 public:
  static Result<AtomicOutputFile> Create(const std::filesystem::path& finalPath);

  AtomicOutputFile(AtomicOutputFile&& other) noexcept;  // no copies, no assignment
  ~AtomicOutputFile();

  // Appends; large writes go to the system in one call where it allows.
  Status Write(const void* data, size_t size);
  // Overwrites bytes already written (a header that is known only at the end).
  Status WriteAt(uint64_t offset, const void* data, size_t size);
  uint64_t written() const { return written_; }
  // Closes the file and renames it to the final name.
  Status Commit();

 private:
  AtomicOutputFile() = default;
  Status Failure(const char* what) const;

  std::filesystem::path finalPath_;
  std::filesystem::path temporaryPath_;
  intptr_t file_ = -1;  // a descriptor, or on Windows a handle; -1 once closed
  uint64_t written_ = 0;
  int cleanupSlot_ = -1;  // see interrupt_cleanup.h
};

// A whole output of `size` bytes, written as above: all of it or nothing.
Status WriteOutputFile(const std::filesystem::path& path, const void* data, size_t size);

}  // namespace brxpack
