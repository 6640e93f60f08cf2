#pragma once
// The headers of a Windows program (PE32 or PE32+) as far as rewriting its
// resources needs them: where the optional header's fields and the section
// table lie, the data directories, and each section's place in memory and
// in the file. package/pe_image.h walks the headers; the sections' bounds
// are checked here.
#include <cstdint>
#include <string>
#include <vector>

#include "brxpack/result.h"
#include "package/memory_range.h"
#include "package/pe_image.h"

namespace brxpack {

struct PeSection {
  std::string name;
  uint32_t headerOffset;  // its 40-byte record in the section table
  uint32_t virtualSize;
  uint32_t virtualAddress;
  uint32_t rawSize;
  uint32_t rawOffset;
  uint32_t characteristics;
};

struct PeDirectory {
  uint32_t rva;
  uint32_t size;
};

struct PeHeaders {
  uint32_t optionalHeader;    // file offset of the optional header
  uint32_t directoryRecords;  // file offset of data directory 0's record
  uint32_t sectionAlignment;
  uint32_t fileAlignment;
  std::vector<PeDirectory> directories;  // as many as the header declares, at most 16
  std::vector<PeSection> sections;       // in address order
  uint32_t sectionsEnd;                  // where the last section's file bytes end
};

// Fields of a section's record.
inline constexpr uint32_t kSectionVirtualSizeField = 8;
inline constexpr uint32_t kSectionAddressField = 12;
inline constexpr uint32_t kSectionRawSizeField = 16;
inline constexpr uint32_t kSectionRawOffsetField = 20;
inline constexpr uint32_t kSectionDiscardable = 0x02000000;

inline constexpr uint32_t kResourceDirectory = 2;
inline constexpr uint32_t kSecurityDirectory = 4;  // a file offset, not an address
inline constexpr uint32_t kBaseRelocationDirectory = 5;

// Fails, saying why, for bytes that are no PE32 or PE32+ image, whose headers or
// section table are cut short, whose sections are out of address order or
// whose section bytes pass the file's end.
Result<PeHeaders> ReadPeHeaders(brx::MemoryRange image);

// The file offset of data directory `index`'s 8-byte record.
inline uint32_t DirectoryRecord(const PeHeaders& headers, uint32_t index) {
  return headers.directoryRecords + index * brx::kPeDirectoryRecordSize;
}

// For the powers of two that ReadPeHeaders accepts as alignments.
inline uint64_t AlignUp(uint64_t value, uint32_t alignment) {
  return (value + alignment - 1) & ~uint64_t{alignment - 1};
}

}  // namespace brxpack
