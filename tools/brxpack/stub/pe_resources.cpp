#include "brxpack/stub/pe_resources.h"

#include <algorithm>

#include "brxpack/stub/authenticode.h"
#include "brxpack/stub/pe_resources_headers.h"
#include "package/format.h"

namespace brxpack {

namespace {

struct ResourceSection {
  PeHeaders headers;
  size_t index;  // of the resource section in headers.sections
};

// How far a section reaches in memory: linkers that leave VirtualSize at 0
// mean the file's bytes.
uint32_t Extent(const PeSection& section) {
  return section.virtualSize != 0 ? section.virtualSize : section.rawSize;
}

bool Contains(const PeSection& section, uint32_t rva) {
  return rva >= section.virtualAddress && rva - section.virtualAddress < Extent(section);
}

Result<ResourceSection> FindResourceSection(brx::MemoryRange image) {
  Result<PeHeaders> headers = ReadPeHeaders(image);
  if (!headers.ok()) return headers.TakeError();
  if (headers->directories.size() <= kResourceDirectory ||
      headers->directories[kResourceDirectory].rva == 0) {
    return Error{"it carries no resources"};
  }
  const uint32_t rva = headers->directories[kResourceDirectory].rva;
  for (size_t i = 0; i < headers->sections.size(); ++i) {
    if (headers->sections[i].virtualAddress == rva) return ResourceSection{std::move(*headers), i};
  }
  return Error{"its resources do not begin a section of their own"};
}

// The resource section's bytes as the file holds them.
brx::MemoryRange SectionRange(brx::MemoryRange image, const PeSection& section) {
  return {image.data + section.rawOffset, std::min(Extent(section), section.rawSize)};
}

// Everything behind the resource section must be free to move: only
// discardable sections (nothing points into them at run time) that hold no
// data directory but the base relocations.
Status CheckMovable(brx::MemoryRange image, const ResourceSection& found) {
  const PeHeaders& headers = found.headers;
  if (headers.sectionsEnd != image.size) {
    return Error{std::to_string(image.size - headers.sectionsEnd) +
                 " bytes follow its last section (a signature or a package?); use the "
                 "installer's own program"};
  }
  const PeSection& resources = headers.sections[found.index];
  if (resources.rawSize == 0) return Error{"its resource section holds no bytes in the file"};
  for (size_t i = found.index + 1; i < headers.sections.size(); ++i) {
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
    const PeDirectory& directory = headers.directories[d];
    if (d == kSecurityDirectory || d == kResourceDirectory || directory.rva == 0) continue;
    for (size_t i = found.index; i < headers.sections.size(); ++i) {
      if (Contains(headers.sections[i], directory.rva) &&
          (i == found.index || d != kBaseRelocationDirectory)) {
        return Error{"data directory " + std::to_string(d) + " lies in section " +
                     headers.sections[i].name + ", which would move"};
      }
    }
  }
  return Status::Ok();
}

}  // namespace

Result<std::vector<Resource>> ReadResources(brx::MemoryRange image) {
  Result<ResourceSection> found = FindResourceSection(image);
  if (!found.ok()) return found.TakeError();
  const PeSection& section = found->headers.sections[found->index];
  return ReadResourceTree(SectionRange(image, section), section.virtualAddress);
}

Result<std::vector<uint8_t>> ReplaceResources(brx::MemoryRange image,
                                              const std::vector<Resource>& resources) {
  Result<ResourceSection> found = FindResourceSection(image);
  if (!found.ok()) return found.TakeError();
  Status movable = CheckMovable(image, *found);
  if (!movable.ok()) return movable.TakeError();
  const PeHeaders& headers = found->headers;
  const PeSection& old = headers.sections[found->index];
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
  for (size_t i = found->index + 1; i < headers.sections.size(); ++i) {
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
    const PeDirectory& directory = headers.directories[d];
    uint8_t* record = &out[DirectoryRecord(headers, d)];
    if (d == kResourceDirectory) brx::WriteLe32(record + 4, static_cast<uint32_t>(tree.size()));
    if (d != kBaseRelocationDirectory || directory.rva < old.virtualAddress) continue;
    brx::WriteLe32(record, static_cast<uint32_t>(directory.rva + addressShift));
  }

  uint8_t* optional = &out[headers.optionalHeader];
  brx::WriteLe32(optional + brx::kPeImageSizeField,
                 static_cast<uint32_t>(AlignUp(imageEnd, headers.sectionAlignment)));
  brx::WriteLe32(
      optional + brx::kPeInitializedDataField,
      static_cast<uint32_t>(brx::ReadLe32(optional + brx::kPeInitializedDataField) + rawShift));
  const uint32_t checksum = headers.optionalHeader + brx::kPeChecksumField;
  brx::WriteLe32(&out[checksum], PeChecksum(out.data(), out.size(), checksum));
  return out;
}

}  // namespace brxpack
