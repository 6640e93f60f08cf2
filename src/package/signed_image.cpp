#include "package/signed_image.h"

#include <cstring>

#include "package/format.h"
#include "package/pe_image.h"

namespace brx {

namespace {

constexpr uint32_t kSecurityDirectoryIndex = 4;
constexpr uint32_t kMaxAlignmentPadding = 7;

}  // namespace

std::optional<PeSecurityDirectory> LocatePeSecurityDirectory(MemoryRange file) {
  PeImage image;
  if (ReadPeImage(file, &image) != PeImageError::kNone) return std::nullopt;
  // The entry must belong to the optional header the image declares, not
  // merely to bytes that happen to follow it.
  if (image.heldDirectories <= kSecurityDirectoryIndex) return std::nullopt;
  PeSecurityDirectory directory;
  directory.checksumOffset = image.optionalHeader + kPeChecksumField;
  directory.entryOffset = PeDirectoryRecord(image, kSecurityDirectoryIndex);
  directory.tableOffset = ReadLe32(file.data + directory.entryOffset);
  directory.tableSize = ReadLe32(file.data + directory.entryOffset + 4);
  return directory;
}

std::optional<uint32_t> FindTrailerBeforeCertificateTable(MemoryRange file) {
  const std::optional<PeSecurityDirectory> directory = LocatePeSecurityDirectory(file);
  if (!directory || directory->tableSize == 0) return std::nullopt;
  if (uint64_t{directory->tableOffset} + directory->tableSize != file.size) return std::nullopt;

  const uint32_t tableOffset = directory->tableOffset;
  for (uint32_t padding = 0; padding <= kMaxAlignmentPadding; ++padding) {
    if (uint64_t{padding} + kTrailerSize > tableOffset) return std::nullopt;
    const uint32_t trailerEnd = tableOffset - padding;
    // Padding grows one byte at a time towards the start, and every byte of
    // it must be zero; the trailer's magic holds no zero, so at most one
    // padding length can match.
    if (padding > 0 && file.data[trailerEnd] != 0) return std::nullopt;
    if (std::memcmp(file.data + trailerEnd - sizeof kTrailerMagic, kTrailerMagic,
                    sizeof kTrailerMagic) == 0) {
      return trailerEnd - kTrailerSize;
    }
  }
  return std::nullopt;
}

}  // namespace brx
