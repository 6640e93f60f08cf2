#include "brxpack/package/directory_and_header.h"

#include <cstring>

#include "package/format.h"

namespace brxpack {

Status WriteDirectoryAndHeader(const std::vector<uint8_t>& directory, uint32_t entryCount,
                               uint64_t directoryOffset, uint64_t packageStart,
                               Compression compression, AtomicOutputFile& output) {
  brx::PackageHeader header = {};
  std::memcpy(header.magic, brx::kHeaderMagic, sizeof brx::kHeaderMagic);
  header.entryCount = entryCount;
  header.directoryOffset = static_cast<uint32_t>(directoryOffset);
  // A zlib stream always, as every entry is: stored blocks when it does not
  // shrink, so the installer's checksum covers the directory too.
  ZlibCompressor compressor(compression);
  std::vector<uint8_t> stored = compressor.CompressOrStore(directory.data(), directory.size());
  if (stored.empty()) return Error{"could not compress the directory"};
  header.directoryFlags = brx::kDirectoryCompressed;
  header.directoryCompressedSize = static_cast<uint32_t>(stored.size());
  if (directoryOffset + stored.size() > UINT32_MAX) {
    return Error{"the package would pass 4 GiB, the limit of its 32-bit offsets"};
  }
  Status status = output.Write(stored.data(), stored.size());
  if (!status.ok()) return status;
  uint8_t bytes[brx::kHeaderSize];
  brx::EncodeHeader(header, bytes);
  return output.WriteAt(packageStart, bytes, sizeof bytes);
}

}  // namespace brxpack
