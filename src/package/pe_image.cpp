#include "package/pe_image.h"

#include <cstring>

#include "package/format.h"

namespace brx {

namespace {

constexpr uint32_t kDosHeaderSize = 0x40;
constexpr uint32_t kPeOffsetField = 0x3C;
constexpr uint32_t kPeSignatureSize = 4;
constexpr uint32_t kCoffHeaderSize = 20;
constexpr uint32_t kSectionCountField = 2;         // inside the COFF header
constexpr uint32_t kOptionalHeaderSizeField = 16;  // inside the COFF header
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
// PE32+ has no BaseOfData and widens ImageBase and the four stack and heap
// sizes to 8 bytes, which moves everything from there on by 16.
constexpr uint32_t kPe32DirectoryCountField = 92;
constexpr uint32_t kPe32PlusDirectoryCountField = 108;

// 64-bit sums of 32-bit operands cannot overflow.
bool Inside(MemoryRange file, uint64_t offset, uint64_t length) {
  return offset + length <= file.size;
}

}  // namespace

PeImageError ReadPeImage(MemoryRange file, PeImage* image) {
  if (file.data == nullptr || file.size < kDosHeaderSize || file.data[0] != 'M' ||
      file.data[1] != 'Z') {
    return PeImageError::kNoMzHeader;
  }
  const uint32_t peOffset = ReadLe32(file.data + kPeOffsetField);
  if (!Inside(file, peOffset, kPeSignatureSize + kCoffHeaderSize) ||
      std::memcmp(file.data + peOffset, "PE\0\0", kPeSignatureSize) != 0) {
    return PeImageError::kNoPeHeader;
  }
  const uint8_t* coff = file.data + peOffset + kPeSignatureSize;
  const uint64_t optional = uint64_t{peOffset} + kPeSignatureSize + kCoffHeaderSize;
  const uint16_t optionalSize = ReadLe16(coff + kOptionalHeaderSizeField);
  if (optionalSize < 2 || !Inside(file, optional, optionalSize)) {
    return PeImageError::kNoOptionalHeader;
  }
  const uint16_t magic = ReadLe16(file.data + optional);
  if (magic != kPe32Magic && magic != kPe32PlusMagic) return PeImageError::kNoOptionalHeader;
  const bool plus = magic == kPe32PlusMagic;
  const uint32_t countField = plus ? kPe32PlusDirectoryCountField : kPe32DirectoryCountField;
  const uint32_t directoriesField = countField + 4;
  if (optionalSize < directoriesField) return PeImageError::kNoOptionalHeader;

  const uint64_t table = optional + optionalSize;
  const uint16_t sectionCount = ReadLe16(coff + kSectionCountField);
  if (!Inside(file, table, uint64_t{sectionCount} * kPeSectionRecordSize)) {
    return PeImageError::kSectionTableCut;
  }

  image->machine = ReadLe16(coff);
  image->plus = plus;
  image->optionalHeader = static_cast<uint32_t>(optional);
  image->directories = static_cast<uint32_t>(optional + directoriesField);
  const uint32_t declared = ReadLe32(file.data + optional + countField);
  image->declaredDirectories = declared < kPeMaxDirectories ? declared : kPeMaxDirectories;
  const uint32_t room = (optionalSize - directoriesField) / kPeDirectoryRecordSize;
  image->heldDirectories = room < image->declaredDirectories ? room : image->declaredDirectories;
  image->sectionTable = static_cast<uint32_t>(table);
  image->sectionCount = sectionCount;
  return PeImageError::kNone;
}

}  // namespace brx
