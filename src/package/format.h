#pragma once
// The container layout: header, directory records and the trailer of a
// self-applying executable. Records are always decoded byte by byte as
// little-endian, never by casting the mapped bytes.
#include <cstdint>

namespace brx {

inline constexpr uint32_t kHeaderSize = 32;
inline constexpr uint32_t kDirectoryEntrySize = 48;
inline constexpr uint32_t kTrailerSize = 8;
inline constexpr uint32_t kEntryNameSize = 32;  // at most 31 bytes of text and a zero

inline constexpr uint8_t kHeaderMagic[16] = {'B', 'r', 'i', 'n', 'd', 'l', 'e', 'x',
                                             ' ', 'd', 'a', 't', 'a', ' ', ' ', 0x1A};
inline constexpr uint8_t kTrailerMagic[4] = {'B', 'R', 'D', 'X'};

// Directory storage method: directoryFlags AND 3.
inline constexpr uint32_t kDirectoryMethodMask = 3;
inline constexpr uint32_t kDirectoryStored = 0;
inline constexpr uint32_t kDirectoryRejected = 1;
inline constexpr uint32_t kDirectoryCompressed = 2;
inline constexpr uint32_t kDirectoryStoredToo = 3;

// The only flag bit of an entry that is read.
inline constexpr uint32_t kEntryCompressed = 0x10000;

struct PackageHeader {
  uint8_t magic[16];
  uint32_t entryCount;
  uint32_t directoryOffset;
  uint32_t directoryFlags;
  uint32_t directoryCompressedSize;
};

struct DirectoryEntry {
  char name[kEntryNameSize];  // always zero-terminated once decoded by the reader
  uint32_t offset;
  uint32_t size;
  uint32_t flags;
  uint32_t compressedSize;

  bool IsCompressed() const { return (flags & kEntryCompressed) != 0; }
  bool IsSection() const { return name[0] == ':'; }
  // Bytes the entry occupies in the package.
  uint32_t StoredSize() const { return IsCompressed() ? compressedSize : size; }
};

struct PackageTrailer {
  uint32_t packageStart;
  uint8_t magic[4];
};

uint32_t ReadLe32(const uint8_t* bytes);
void WriteLe32(uint8_t* bytes, uint32_t value);
inline uint16_t ReadLe16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

PackageHeader DecodeHeader(const uint8_t* bytes);  // kHeaderSize bytes
void EncodeHeader(const PackageHeader& header, uint8_t* bytes);
DirectoryEntry DecodeDirectoryEntry(const uint8_t* bytes);  // kDirectoryEntrySize bytes
void EncodeDirectoryEntry(const DirectoryEntry& entry, uint8_t* bytes);
PackageTrailer DecodeTrailer(const uint8_t* bytes);  // kTrailerSize bytes
// The trailer of a package that starts at packageStart, with its magic.
void WriteTrailer(uint8_t* bytes, uint32_t packageStart);  // kTrailerSize bytes

}  // namespace brx
