#pragma once
// The headers of a Windows program, PE32 or PE32+, walked once for every
// reader of them: the installer looking for its trailer before a signature,
// and brxpack taking a signature off, rewriting resources and telling the
// stub's architecture. Every bounds check on an image's headers is made
// here; what ReadPeImage gives lies inside the file.
#include <cstdint>

#include "package/memory_range.h"

namespace brx {

inline constexpr uint16_t kPeMachineI386 = 0x14C;
inline constexpr uint16_t kPeMachineAmd64 = 0x8664;

// Optional header fields that PE32 and PE32+ keep at the same offsets from
// the header's start; the fields between them differ in width.
inline constexpr uint32_t kPeInitializedDataField = 8;
inline constexpr uint32_t kPeSectionAlignmentField = 32;
inline constexpr uint32_t kPeFileAlignmentField = 36;
inline constexpr uint32_t kPeImageSizeField = 56;
inline constexpr uint32_t kPeChecksumField = 64;

inline constexpr uint32_t kPeMaxDirectories = 16;
inline constexpr uint32_t kPeDirectoryRecordSize = 8;
inline constexpr uint32_t kPeSectionRecordSize = 40;

struct PeImage {
  uint16_t machine = 0;         // the COFF header's Machine
  bool plus = false;            // PE32+ (64-bit fields) rather than PE32
  uint32_t optionalHeader = 0;  // file offset; the declared optional header lies in the file
  uint32_t directories = 0;     // file offset of data directory 0's record
  // NumberOfRvaAndSizes, at most 16, and how many of those records the
  // declared optional header holds (fewer in a damaged image).
  uint32_t declaredDirectories = 0;
  uint32_t heldDirectories = 0;
  uint32_t sectionTable = 0;  // file offset; the whole table lies in the file
  uint16_t sectionCount = 0;
};

enum class PeImageError {
  kNone,
  kNoMzHeader,
  kNoPeHeader,
  kNoOptionalHeader,  // no PE32 or PE32+ magic, or cut before its data directories
  kSectionTableCut,
};

PeImageError ReadPeImage(MemoryRange file, PeImage* image);

// The file offset of data directory `index`'s 8-byte record: address (a
// file offset for the security directory), then size.
inline uint32_t PeDirectoryRecord(const PeImage& image, uint32_t index) {
  return image.directories + index * kPeDirectoryRecordSize;
}

}  // namespace brx
