#pragma once
// A whole file mapped read-only: packages and stubs are read in place, never
// copied through read buffers. Payload files are read instead (host_file_io.h).
#include <cstdint>
#include <filesystem>

#include "brxpack/result.h"
#include "package/memory_range.h"

namespace brxpack {

class MappedFile {
 public:
  // Fails with the file's name and the system's reason. An empty file maps
  // to no bytes (systems refuse to map nothing).
  static Result<MappedFile> Open(const std::filesystem::path& path);

  MappedFile() = default;
  MappedFile(MappedFile&& other) noexcept;
  MappedFile& operator=(MappedFile&& other) noexcept;  // no copies
  ~MappedFile();

  const uint8_t* data() const { return data_; }
  uint64_t size() const { return size_; }
  bool FitsIn32Bits() const { return size_ <= UINT32_MAX; }
  // Only for files that FitsIn32Bits.
  brx::MemoryRange range() const { return {data_, static_cast<uint32_t>(size_)}; }

 private:
  void Unmap();
  const uint8_t* data_ = nullptr;
  uint64_t size_ = 0;
};

}  // namespace brxpack
