#include "brxpack/authoring/pe_resources_headers.h"

#include <algorithm>
#include <cstring>

#include "brxpack/authoring/pe_resources_bytes.h"
#include "package/format.h"

namespace brxpack {

namespace {

constexpr uint32_t kPeOffsetField = 0x3C;
constexpr uint32_t kCoffHeaderSize = 20;
constexpr uint32_t kSectionCountField = 2;         // in the COFF header
constexpr uint32_t kOptionalHeaderSizeField = 16;  // in the COFF header
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint32_t kSectionAlignmentField = 32;
constexpr uint32_t kFileAlignmentField = 36;
constexpr uint32_t kDirectoryCountField = 92;
constexpr uint32_t kMaxDirectories = 16;
constexpr uint32_t kSectionRecordSize = 40;
constexpr uint32_t kSectionCharacteristicsField = 36;

bool Inside(brx::MemoryRange image, uint64_t offset, uint64_t length) {
  return offset + length <= image.size;
}

bool PowerOfTwo(uint32_t value) {
  return value != 0 && (value & (value - 1)) == 0;
}

PeSection ReadSection(const uint8_t* record, uint32_t offset) {
  PeSection section;
  const char* name = reinterpret_cast<const char*>(record);
  section.name.assign(name, std::find(name, name + 8, '\0'));
  section.headerOffset = offset;
  section.virtualSize = brx::ReadLe32(record + kSectionVirtualSizeField);
  section.virtualAddress = brx::ReadLe32(record + kSectionAddressField);
  section.rawSize = brx::ReadLe32(record + kSectionRawSizeField);
  section.rawOffset = brx::ReadLe32(record + kSectionRawOffsetField);
  section.characteristics = brx::ReadLe32(record + kSectionCharacteristicsField);
  return section;
}

}  // namespace

Result<PeHeaders> ReadPeHeaders(brx::MemoryRange image) {
  if (!Inside(image, 0, kPeOffsetField + 4) || image.data[0] != 'M' || image.data[1] != 'Z') {
    return Error{"not a Windows program (no MZ header)"};
  }
  const uint32_t peOffset = brx::ReadLe32(image.data + kPeOffsetField);
  const uint64_t coff = uint64_t{peOffset} + 4;
  if (!Inside(image, peOffset, 4 + kCoffHeaderSize) ||
      std::memcmp(image.data + peOffset, "PE\0\0", 4) != 0) {
    return Error{"not a Windows program (no PE header)"};
  }
  const uint16_t sectionCount = ReadLe16(image.data + coff + kSectionCountField);
  const uint16_t optionalSize = ReadLe16(image.data + coff + kOptionalHeaderSizeField);
  PeHeaders headers;
  headers.optionalHeader = static_cast<uint32_t>(coff + kCoffHeaderSize);
  if (optionalSize < kPeDirectoriesField || !Inside(image, headers.optionalHeader, optionalSize) ||
      ReadLe16(image.data + headers.optionalHeader) != kPe32Magic) {
    return Error{"not a 32-bit Windows program (no PE32 optional header)"};
  }
  const uint8_t* optional = image.data + headers.optionalHeader;
  headers.sectionAlignment = brx::ReadLe32(optional + kSectionAlignmentField);
  headers.fileAlignment = brx::ReadLe32(optional + kFileAlignmentField);
  if (!PowerOfTwo(headers.sectionAlignment) || !PowerOfTwo(headers.fileAlignment)) {
    return Error{"its section or file alignment is not a power of two"};
  }
  const uint32_t directoryCount =
      std::min(brx::ReadLe32(optional + kDirectoryCountField), kMaxDirectories);
  if (optionalSize < kPeDirectoriesField + 8 * directoryCount) {
    return Error{"its optional header is too short for its data directories"};
  }
  for (uint32_t i = 0; i < directoryCount; ++i) {
    const uint8_t* record = image.data + DirectoryRecord(headers, i);
    headers.directories.push_back({brx::ReadLe32(record), brx::ReadLe32(record + 4)});
  }

  const uint64_t table = uint64_t{headers.optionalHeader} + optionalSize;
  if (!Inside(image, table, uint64_t{sectionCount} * kSectionRecordSize)) {
    return Error{"its section table passes the end of the file"};
  }
  headers.sectionsEnd = static_cast<uint32_t>(table + sectionCount * kSectionRecordSize);
  for (uint32_t i = 0; i < sectionCount; ++i) {
    const uint32_t offset = static_cast<uint32_t>(table + i * kSectionRecordSize);
    const PeSection section = ReadSection(image.data + offset, offset);
    if (!headers.sections.empty() &&
        section.virtualAddress <= headers.sections.back().virtualAddress) {
      return Error{"its sections are not in address order"};
    }
    if (section.rawSize != 0) {
      if (!Inside(image, section.rawOffset, section.rawSize)) {
        return Error{"section " + section.name + " passes the end of the file"};
      }
      if (section.rawOffset < table + uint64_t{sectionCount} * kSectionRecordSize) {
        return Error{"section " + section.name + " overlaps the headers"};
      }
      headers.sectionsEnd = std::max(headers.sectionsEnd, section.rawOffset + section.rawSize);
    }
    headers.sections.push_back(section);
  }
  return headers;
}

}  // namespace brxpack
