#include "brxpack/stub/pe_resources_headers.h"

#include <algorithm>

#include "brxpack/stub/pe_resources_bytes.h"
#include "package/format.h"

namespace brxpack {

namespace {

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

std::string Refusal(brx::PeImageError error) {
  switch (error) {
    case brx::PeImageError::kNoMzHeader:
      return "not a Windows program (no MZ header)";
    case brx::PeImageError::kNoPeHeader:
      return "not a Windows program (no PE header)";
    case brx::PeImageError::kNoOptionalHeader:
      return "not a Windows program (no PE32 or PE32+ optional header)";
    case brx::PeImageError::kSectionTableCut:
      return "its section table passes the end of the file";
    case brx::PeImageError::kNone:
      break;
  }
  return "";
}

}  // namespace

Result<PeHeaders> ReadPeHeaders(brx::MemoryRange image) {
  brx::PeImage pe;
  const brx::PeImageError error = brx::ReadPeImage(image, &pe);
  if (error != brx::PeImageError::kNone) return Error{Refusal(error)};
  PeHeaders headers;
  headers.optionalHeader = pe.optionalHeader;
  headers.directoryRecords = pe.directories;
  const uint8_t* optional = image.data + pe.optionalHeader;
  headers.sectionAlignment = brx::ReadLe32(optional + brx::kPeSectionAlignmentField);
  headers.fileAlignment = brx::ReadLe32(optional + brx::kPeFileAlignmentField);
  if (!PowerOfTwo(headers.sectionAlignment) || !PowerOfTwo(headers.fileAlignment)) {
    return Error{"its section or file alignment is not a power of two"};
  }
  // Rewriting must see every directory: one it missed could point into a
  // section that moves.
  if (pe.heldDirectories < pe.declaredDirectories) {
    return Error{"its optional header is too short for its data directories"};
  }
  for (uint32_t i = 0; i < pe.heldDirectories; ++i) {
    const uint8_t* record = image.data + DirectoryRecord(headers, i);
    headers.directories.push_back({brx::ReadLe32(record), brx::ReadLe32(record + 4)});
  }

  const uint32_t tableEnd = pe.sectionTable + pe.sectionCount * brx::kPeSectionRecordSize;
  headers.sectionsEnd = tableEnd;
  for (uint32_t i = 0; i < pe.sectionCount; ++i) {
    const uint32_t offset = pe.sectionTable + i * brx::kPeSectionRecordSize;
    const PeSection section = ReadSection(image.data + offset, offset);
    if (!headers.sections.empty() &&
        section.virtualAddress <= headers.sections.back().virtualAddress) {
      return Error{"its sections are not in address order"};
    }
    if (section.rawSize != 0) {
      if (!Inside(image, section.rawOffset, section.rawSize)) {
        return Error{"section " + section.name + " passes the end of the file"};
      }
      if (section.rawOffset < tableEnd) {
        return Error{"section " + section.name + " overlaps the headers"};
      }
      headers.sectionsEnd = std::max(headers.sectionsEnd, section.rawOffset + section.rawSize);
    }
    headers.sections.push_back(section);
  }
  return headers;
}

}  // namespace brxpack
