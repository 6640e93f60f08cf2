#include "brxpack/authoring/directory_and_header.h"

#include <cstring>

#include "authoring/writer.h"
#include "package/format.h"

namespace brxpack {

Status WriteDirectoryAndHeader(const std::vector<uint8_t>& directory, uint32_t entryCount,
                               uint64_t directoryOffset, uint64_t packageStart, int level,
                               AtomicOutputFile& output) {
  brx::PackageHeader header = {};
  std::memcpy(header.magic, brx::kHeaderMagic, sizeof brx::kHeaderMagic);
  header.entryCount = entryCount;
  header.directoryOffset = static_cast<uint32_t>(directoryOffset);
  std::vector<uint8_t> compressed = brx::CompressZlib(directory.data(), directory.size(), level);
  const bool compress = !compressed.empty() && compressed.size() < directory.size();
  const std::vector<uint8_t>& stored = compress ? compressed : directory;
  header.directoryFlags = compress ? brx::kDirectoryCompressed : brx::kDirectoryStored;
  header.directoryCompressedSize = compress ? static_cast<uint32_t>(compressed.size()) : 0;
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
