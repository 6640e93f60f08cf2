#include "package/format.h"

#include <cstring>

namespace brx {

uint32_t ReadLe32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void WriteLe32(uint8_t* bytes, uint32_t value) {
  bytes[0] = static_cast<uint8_t>(value);
  bytes[1] = static_cast<uint8_t>(value >> 8);
  bytes[2] = static_cast<uint8_t>(value >> 16);
  bytes[3] = static_cast<uint8_t>(value >> 24);
}

PackageHeader DecodeHeader(const uint8_t* bytes) {
  PackageHeader header;
  std::memcpy(header.magic, bytes, sizeof header.magic);
  header.entryCount = ReadLe32(bytes + 16);
  header.directoryOffset = ReadLe32(bytes + 20);
  header.directoryFlags = ReadLe32(bytes + 24);
  header.directoryCompressedSize = ReadLe32(bytes + 28);
  return header;
}

void EncodeHeader(const PackageHeader& header, uint8_t* bytes) {
  std::memcpy(bytes, header.magic, sizeof header.magic);
  WriteLe32(bytes + 16, header.entryCount);
  WriteLe32(bytes + 20, header.directoryOffset);
  WriteLe32(bytes + 24, header.directoryFlags);
  WriteLe32(bytes + 28, header.directoryCompressedSize);
}

// The name field is copied as it stands; whether it holds a terminator is the
// reader's check, which rejects the package otherwise.
DirectoryEntry DecodeDirectoryEntry(const uint8_t* bytes) {
  DirectoryEntry entry;
  std::memcpy(entry.name, bytes, kEntryNameSize);
  entry.offset = ReadLe32(bytes + 32);
  entry.size = ReadLe32(bytes + 36);
  entry.flags = ReadLe32(bytes + 40);
  entry.compressedSize = ReadLe32(bytes + 44);
  return entry;
}

void EncodeDirectoryEntry(const DirectoryEntry& entry, uint8_t* bytes) {
  std::memcpy(bytes, entry.name, kEntryNameSize);
  WriteLe32(bytes + 32, entry.offset);
  WriteLe32(bytes + 36, entry.size);
  WriteLe32(bytes + 40, entry.flags);
  WriteLe32(bytes + 44, entry.compressedSize);
}

PackageTrailer DecodeTrailer(const uint8_t* bytes) {
  PackageTrailer trailer;
  trailer.packageStart = ReadLe32(bytes);
  std::memcpy(trailer.magic, bytes + 4, sizeof trailer.magic);
  return trailer;
}

void WriteTrailer(uint8_t* bytes, uint32_t packageStart) {
  WriteLe32(bytes, packageStart);
  std::memcpy(bytes + 4, kTrailerMagic, sizeof kTrailerMagic);
}

}  // namespace brx
