#include "package_walk.h"

#include <cstring>

#include "package/inflate_stream.h"
#include "package/signed_image.h"

namespace brxpack {

namespace {

// Deflate cannot expand by more than about 1032:1; a bigger claim is refused
// before anything of that size is allocated.
bool CouldInflateTo(uint64_t compressedSize, uint64_t size) {
  return size <= compressedSize * 1032 + 1024;
}

bool Locate(const PackageFile& file, uint32_t* start, uint32_t* end) {
  const brx::MemoryRange bytes = file.file.range();
  if (file.source == brx::PackageSource::kPackageFile) {
    *start = 0;
    *end = bytes.size;
  } else {
    std::optional<uint32_t> trailer;
    if (bytes.size >= brx::kTrailerSize &&
        std::memcmp(bytes.data + bytes.size - 4, brx::kTrailerMagic, 4) == 0) {
      trailer = bytes.size - brx::kTrailerSize;
    } else {
      trailer = brx::FindTrailerBeforeCertificateTable(bytes);
    }
    if (!trailer) return false;
    *start = brx::ReadLe32(bytes.data + *trailer);
    *end = *trailer;
  }
  return *start <= *end && *end - *start >= brx::kHeaderSize;
}

}  // namespace

std::optional<WalkedPackage> WalkPackage(const PackageFile& file) {
  WalkedPackage walked;
  brx::Package& package = walked.package;
  if (!Locate(file, &package.packageStart, &package.packageEnd)) return std::nullopt;
  package.bytes = file.file.range();
  const uint8_t* start = package.bytes.data + package.packageStart;
  const uint64_t packageSize = package.packageEnd - package.packageStart;
  package.header = brx::DecodeHeader(start);
  const brx::PackageHeader& header = package.header;
  const uint32_t method = header.directoryFlags & brx::kDirectoryMethodMask;
  if (std::memcmp(header.magic, brx::kHeaderMagic, sizeof brx::kHeaderMagic) != 0 ||
      header.entryCount == 0 || header.directoryOffset == 0 || method == brx::kDirectoryRejected) {
    return std::nullopt;
  }
  const uint64_t directorySize = uint64_t{header.entryCount} * brx::kDirectoryEntrySize;
  const bool compressed = method == brx::kDirectoryCompressed;
  const uint64_t storedSize = compressed ? header.directoryCompressedSize : directorySize;
  if (directorySize > UINT32_MAX || header.directoryOffset + storedSize > packageSize) {
    return std::nullopt;
  }
  std::vector<uint8_t> records(static_cast<size_t>(directorySize));
  if (compressed) {
    if (!CouldInflateTo(storedSize, directorySize) ||
        !brx::InflateStream(start + header.directoryOffset, header.directoryCompressedSize,
                            records.data(), static_cast<uint32_t>(directorySize))) {
      return std::nullopt;
    }
  } else {
    std::memcpy(records.data(), start + header.directoryOffset, records.size());
  }
  for (uint32_t i = 0; i < header.entryCount; ++i) {
    walked.entries.push_back(
        brx::DecodeDirectoryEntry(records.data() + uint64_t{i} * brx::kDirectoryEntrySize));
  }
  package.directory = walked.entries.data();
  return walked;
}

}  // namespace brxpack
