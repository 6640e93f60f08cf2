#include "package/signed_image.h"

#include <cstring>

#include "package/format.h"

namespace brx {

namespace {

constexpr uint32_t kDosHeaderSize = 0x40;
constexpr uint32_t kPeOffsetField = 0x3C;
constexpr uint32_t kPeSignatureSize = 4;
constexpr uint32_t kCoffHeaderSize = 20;
constexpr uint32_t kOptionalHeaderSizeField = 16;  // inside the COFF header
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kChecksumField = 64;  // the same place in PE32 and PE32+
constexpr uint32_t kSecurityDirectoryIndex = 4;
constexpr uint32_t kDirectoryEntrySizeInPe = 8;
constexpr uint32_t kMaxAlignmentPadding = 7;

uint16_t ReadLe16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

// True when [offset, offset + length) lies inside the file; 64-bit sums
// cannot overflow for 32-bit operands.
bool Inside(MemoryRange file, uint64_t offset, uint64_t length) {
  return offset + length <= file.size;
}

}  // namespace

std::optional<PeSecurityDirectory> LocatePeSecurityDirectory(MemoryRange file) {
  if (file.data == nullptr || file.size < kDosHeaderSize) return std::nullopt;
  if (file.data[0] != 'M' || file.data[1] != 'Z') return std::nullopt;
  const uint32_t peOffset = ReadLe32(file.data + kPeOffsetField);
  const uint64_t coffOffset = uint64_t{peOffset} + kPeSignatureSize;
  const uint64_t optionalOffset = coffOffset + kCoffHeaderSize;
  if (!Inside(file, peOffset, kPeSignatureSize + kCoffHeaderSize + 2)) return std::nullopt;
  if (std::memcmp(file.data + peOffset, "PE\0\0", kPeSignatureSize) != 0) return std::nullopt;

  const uint16_t optionalSize = ReadLe16(file.data + coffOffset + kOptionalHeaderSizeField);
  const uint16_t magic = ReadLe16(file.data + optionalOffset);
  uint32_t countField = 0;
  uint32_t directoriesField = 0;
  if (magic == kPe32Magic) {
    countField = 92;
    directoriesField = 96;
  } else if (magic == kPe32PlusMagic) {
    countField = 108;
    directoriesField = 112;
  } else {
    return std::nullopt;
  }
  const uint32_t entryField = directoriesField + kSecurityDirectoryIndex * kDirectoryEntrySizeInPe;
  // The entry must belong to the optional header the image declares, not
  // merely to bytes that happen to follow it.
  if (optionalSize < entryField + kDirectoryEntrySizeInPe) return std::nullopt;
  if (!Inside(file, optionalOffset, entryField + kDirectoryEntrySizeInPe)) return std::nullopt;
  if (ReadLe32(file.data + optionalOffset + countField) <= kSecurityDirectoryIndex) {
    return std::nullopt;
  }

  PeSecurityDirectory directory;
  directory.checksumOffset = static_cast<uint32_t>(optionalOffset + kChecksumField);
  directory.entryOffset = static_cast<uint32_t>(optionalOffset + entryField);
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
