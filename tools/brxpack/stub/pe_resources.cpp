#include "brxpack/stub/pe_resources.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "brxpack/stub/authenticode.h"
#include "package/format.h"
#include "package/pe_image.h"

namespace brxpack {

namespace {

// The headers as far as rewriting the resources needs them. package/pe_image.h
// walks them; the sections' bounds are checked here.
struct PeSection {
  std::string name;
  uint32_t headerOffset;  // its 40-byte record in the section table
  uint32_t virtualSize;
  uint32_t virtualAddress;
  uint32_t rawSize;
  uint32_t rawOffset;
  uint32_t characteristics;
};

struct PeHeaders {
  brx::PeImage pe;
  uint32_t sectionAlignment;
  uint32_t fileAlignment;
  std::vector<uint32_t> directories;  // their addresses, as many as declared, at most 16
  std::vector<PeSection> sections;    // in address order
  uint32_t sectionsEnd;               // where the last section's file bytes end
  size_t resources = 0;               // the resource section's index in `sections`
};

// Fields of a section's record.
constexpr uint32_t kSectionVirtualSizeField = 8;
constexpr uint32_t kSectionAddressField = 12;
constexpr uint32_t kSectionRawSizeField = 16;
constexpr uint32_t kSectionRawOffsetField = 20;
constexpr uint32_t kSectionCharacteristicsField = 36;
constexpr uint32_t kSectionDiscardable = 0x02000000;

constexpr uint32_t kResourceDirectory = 2;
constexpr uint32_t kSecurityDirectory = 4;  // a file offset, not an address
constexpr uint32_t kBaseRelocationDirectory = 5;

bool PowerOfTwo(uint32_t value) {
  return value != 0 && (value & (value - 1)) == 0;
}

// What each brx::PeImageError but kNone means, in the enum's order.
constexpr const char* kRefusals[] = {
    "not a Windows program (no MZ header)",
    "not a Windows program (no PE header)",
    "not a Windows program (no PE32 or PE32+ optional header)",
    "its section table passes the end of the file",
};
static_assert(std::size(kRefusals) == static_cast<size_t>(brx::PeImageError::kSectionTableCut));

// Fails, saying why, for bytes that are no PE32 or PE32+ image, whose
// headers or section table are cut short, whose sections are out of address
// order or whose section bytes pass the file's end.
Result<PeHeaders> ReadPeHeaders(brx::MemoryRange image) {
  PeHeaders headers;
  const brx::PeImage& pe = headers.pe;
  const brx::PeImageError error = brx::ReadPeImage(image, &headers.pe);
  if (error != brx::PeImageError::kNone) return Error{kRefusals[static_cast<int>(error) - 1]};
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
    const uint8_t* record = image.data + brx::PeDirectoryRecord(pe, i);
    headers.directories.push_back(brx::ReadLe32(record));
  }

  const uint32_t tableEnd = pe.sectionTable + pe.sectionCount * brx::kPeSectionRecordSize;
  headers.sectionsEnd = tableEnd;
  for (uint32_t i = 0; i < pe.sectionCount; ++i) {
    const uint32_t offset = pe.sectionTable + i * brx::kPeSectionRecordSize;
    const uint8_t* record = image.data + offset;
    const char* name = reinterpret_cast<const char*>(record);
    const PeSection section = {std::string(name, std::find(name, name + 8, '\0')),
                               offset,
                               brx::ReadLe32(record + kSectionVirtualSizeField),
                               brx::ReadLe32(record + kSectionAddressField),
                               brx::ReadLe32(record + kSectionRawSizeField),
                               brx::ReadLe32(record + kSectionRawOffsetField),
                               brx::ReadLe32(record + kSectionCharacteristicsField)};
    if (!headers.sections.empty() &&
        section.virtualAddress <= headers.sections.back().virtualAddress) {
      return Error{"its sections are not in address order"};
    }
    if (section.rawSize != 0) {
      if (uint64_t{section.rawOffset} + section.rawSize > image.size) {
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

// How far a section reaches in memory: linkers that leave VirtualSize at 0
// mean the file's bytes.
uint32_t Extent(const PeSection& section) {
  return section.virtualSize != 0 ? section.virtualSize : section.rawSize;
}

// The headers with the resource section found.
Result<PeHeaders> FindResourceSection(brx::MemoryRange image) {
  Result<PeHeaders> headers = ReadPeHeaders(image);
  if (!headers.ok()) return headers.TakeError();
  if (headers->directories.size() <= kResourceDirectory ||
      headers->directories[kResourceDirectory] == 0) {
    return Error{"it carries no resources"};
  }
  const uint32_t rva = headers->directories[kResourceDirectory];
  for (size_t i = 0; i < headers->sections.size(); ++i) {
    if (headers->sections[i].virtualAddress != rva) continue;
    headers->resources = i;
    return headers;
  }
  return Error{"its resources do not begin a section of their own"};
}

// Everything behind the resource section must be free to move: only
// discardable sections (nothing points into them at run time) that hold no
// data directory but the base relocations.
Status CheckMovable(brx::MemoryRange image, const PeHeaders& headers) {
  if (headers.sectionsEnd != image.size) {
    return Error{std::to_string(image.size - headers.sectionsEnd) +
                 " bytes follow its last section (a signature or a package?); use the "
                 "installer's own program"};
  }
  const PeSection& resources = headers.sections[headers.resources];
  if (resources.rawSize == 0) return Error{"its resource section holds no bytes in the file"};
  for (size_t i = headers.resources + 1; i < headers.sections.size(); ++i) {
    const PeSection& section = headers.sections[i];
    if ((section.characteristics & kSectionDiscardable) == 0) {
      return Error{"section " + section.name + " follows the resources and cannot be moved"};
    }
    if ((section.rawSize != 0 && section.rawOffset < resources.rawOffset + resources.rawSize) ||
        section.virtualAddress < AlignUp(uint64_t{resources.virtualAddress} + Extent(resources),
                                         headers.sectionAlignment)) {
      return Error{"section " + section.name + " overlaps the resources"};
    }
  }
  for (uint32_t d = 0; d < headers.directories.size(); ++d) {
    const uint32_t rva = headers.directories[d];
    if (d == kSecurityDirectory || d == kResourceDirectory || rva == 0) continue;
    for (size_t i = headers.resources; i < headers.sections.size(); ++i) {
      const PeSection& section = headers.sections[i];
      if (rva >= section.virtualAddress && rva - section.virtualAddress < Extent(section) &&
          (i == headers.resources || d != kBaseRelocationDirectory)) {
        return Error{"data directory " + std::to_string(d) + " lies in section " + section.name +
                     ", which would move"};
      }
    }
  }
  return Status::Ok();
}

}  // namespace

Result<std::vector<Resource>> ReadResources(brx::MemoryRange image) {
  Result<PeHeaders> headers = FindResourceSection(image);
  if (!headers.ok()) return headers.TakeError();
  const PeSection& section = headers->sections[headers->resources];
  // The section's bytes as the file holds them.
  const brx::MemoryRange bytes = {image.data + section.rawOffset,
                                  std::min(Extent(section), section.rawSize)};
  return ReadResourceTree(bytes, section.virtualAddress);
}

Result<std::vector<uint8_t>> ReplaceResources(brx::MemoryRange image,
                                              const std::vector<Resource>& resources) {
  Result<PeHeaders> found = FindResourceSection(image);
  if (!found.ok()) return found.TakeError();
  const PeHeaders& headers = *found;
  Status movable = CheckMovable(image, headers);
  if (!movable.ok()) return movable.TakeError();
  const PeSection& old = headers.sections[headers.resources];
  const std::vector<uint8_t> tree = WriteResourceTree(resources, old.virtualAddress);

  // The sections behind move by whole alignment units, in memory and in
  // the file, so each keeps its alignment.
  const uint64_t rawSize = AlignUp(tree.size(), headers.fileAlignment);
  const int64_t rawShift = static_cast<int64_t>(rawSize) - old.rawSize;
  const int64_t addressShift =
      static_cast<int64_t>(
          AlignUp(uint64_t{old.virtualAddress} + tree.size(), headers.sectionAlignment)) -
      static_cast<int64_t>(
          AlignUp(uint64_t{old.virtualAddress} + old.virtualSize, headers.sectionAlignment));
  if (uint64_t{image.size} + rawShift > UINT32_MAX) return Error{"it would pass 4 GiB"};

  std::vector<uint8_t> out(image.data, image.data + old.rawOffset);
  out.insert(out.end(), tree.begin(), tree.end());
  out.resize(old.rawOffset + rawSize, 0);
  out.insert(out.end(), image.data + old.rawOffset + old.rawSize, image.data + image.size);

  brx::WriteLe32(&out[old.headerOffset + kSectionVirtualSizeField],
                 static_cast<uint32_t>(tree.size()));
  brx::WriteLe32(&out[old.headerOffset + kSectionRawSizeField], static_cast<uint32_t>(rawSize));
  uint64_t imageEnd = uint64_t{old.virtualAddress} + tree.size();
  for (size_t i = headers.resources + 1; i < headers.sections.size(); ++i) {
    const PeSection& section = headers.sections[i];
    const uint32_t address = static_cast<uint32_t>(section.virtualAddress + addressShift);
    brx::WriteLe32(&out[section.headerOffset + kSectionAddressField], address);
    if (section.rawSize != 0) {
      brx::WriteLe32(&out[section.headerOffset + kSectionRawOffsetField],
                     static_cast<uint32_t>(section.rawOffset + rawShift));
    }
    imageEnd = uint64_t{address} + Extent(section);
  }
  for (uint32_t d = 0; d < headers.directories.size(); ++d) {
    const uint32_t rva = headers.directories[d];
    uint8_t* record = &out[brx::PeDirectoryRecord(headers.pe, d)];
    if (d == kResourceDirectory) brx::WriteLe32(record + 4, static_cast<uint32_t>(tree.size()));
    if (d != kBaseRelocationDirectory || rva < old.virtualAddress) continue;
    brx::WriteLe32(record, static_cast<uint32_t>(rva + addressShift));
  }

  uint8_t* optional = &out[headers.pe.optionalHeader];
  brx::WriteLe32(optional + brx::kPeImageSizeField,
                 static_cast<uint32_t>(AlignUp(imageEnd, headers.sectionAlignment)));
  brx::WriteLe32(
      optional + brx::kPeInitializedDataField,
      static_cast<uint32_t>(brx::ReadLe32(optional + brx::kPeInitializedDataField) + rawShift));
  const uint32_t checksum = headers.pe.optionalHeader + brx::kPeChecksumField;
  brx::WriteLe32(&out[checksum], PeChecksum(out.data(), out.size(), checksum));
  return out;
}

}  // namespace brxpack
