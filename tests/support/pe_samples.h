#pragma once
// Small PE32 (i386) and PE32+ (AMD64) images for tests of the header
// walker: just the headers a reader of the security data directory and of
// the machine needs, and a certificate table appended the way signing tools
// append it.
#include <cstdint>
#include <vector>

#include "package/format.h"

namespace brx::test {

inline constexpr uint32_t kSamplePeOffset = 0x40;
inline constexpr uint32_t kSampleOptionalHeader = kSamplePeOffset + 24;
inline constexpr uint32_t kSampleChecksumOffset = kSampleOptionalHeader + 64;
// Where the data directories begin in the optional header: PE32+ drops
// BaseOfData and widens ImageBase and the stack and heap sizes.
inline constexpr uint32_t kSampleDirectories = 96;
inline constexpr uint32_t kSampleDirectoriesPlus = 112;
inline constexpr uint32_t kSampleSecurityEntry = kSampleOptionalHeader + kSampleDirectories + 4 * 8;
inline constexpr uint32_t kSampleSecurityEntryPlus =
    kSampleOptionalHeader + kSampleDirectoriesPlus + 4 * 8;

inline bool IsSamplePe32Plus(const std::vector<uint8_t>& image) {
  return image[kSampleOptionalHeader + 1] == 0x02;
}

// A PE32 (i386) or PE32+ (AMD64) image of `size` bytes (at least 0x160)
// with 16 data directories and no sections.
inline std::vector<uint8_t> SamplePe(size_t size, bool plus) {
  std::vector<uint8_t> image(size, 0);
  for (size_t i = 0x160; i < size; ++i) image[i] = static_cast<uint8_t>(i * 7 + 1);
  image[0] = 'M';
  image[1] = 'Z';
  WriteLe32(image.data() + 0x3C, kSamplePeOffset);
  image[kSamplePeOffset] = 'P';
  image[kSamplePeOffset + 1] = 'E';
  image[kSamplePeOffset + 4] = plus ? 0x64 : 0x4C;  // AMD64 0x8664, i386 0x14C
  image[kSamplePeOffset + 5] = plus ? 0x86 : 0x01;
  const uint32_t directories = plus ? kSampleDirectoriesPlus : kSampleDirectories;
  image[kSamplePeOffset + 4 + 16] = static_cast<uint8_t>(directories + 16 * 8);
  image[kSampleOptionalHeader] = 0x0B;
  image[kSampleOptionalHeader + 1] = plus ? 0x02 : 0x01;
  WriteLe32(image.data() + kSampleOptionalHeader + directories - 4, 16);
  return image;
}

inline std::vector<uint8_t> SamplePe32(size_t size) {
  return SamplePe(size, false);
}
inline std::vector<uint8_t> SamplePe32Plus(size_t size) {
  return SamplePe(size, true);
}

// Appends a certificate table of `tableSize` bytes as a signing tool does:
// zero bytes up to a multiple of 8 first, then the table, and the security
// directory entry naming it.
inline void AppendCertificateTable(std::vector<uint8_t>& image, uint32_t tableSize) {
  while (image.size() % 8 != 0) image.push_back(0);
  const uint32_t tableOffset = static_cast<uint32_t>(image.size());
  for (uint32_t i = 0; i < tableSize; ++i) image.push_back(static_cast<uint8_t>(0xC0 + i % 16));
  WriteLe32(image.data() + tableOffset, tableSize);  // WIN_CERTIFICATE.dwLength
  const uint32_t entry = IsSamplePe32Plus(image) ? kSampleSecurityEntryPlus : kSampleSecurityEntry;
  WriteLe32(image.data() + entry, tableOffset);
  WriteLe32(image.data() + entry + 4, tableSize);
}

// Stub, package and trailer, as the builder lays them.
inline std::vector<uint8_t> SelfApplying(const std::vector<uint8_t>& stub,
                                         const std::vector<uint8_t>& package) {
  std::vector<uint8_t> file = stub;
  file.insert(file.end(), package.begin(), package.end());
  uint8_t trailer[kTrailerSize];
  WriteTrailer(trailer, static_cast<uint32_t>(stub.size()));
  file.insert(file.end(), trailer, trailer + kTrailerSize);
  return file;
}

}  // namespace brx::test
