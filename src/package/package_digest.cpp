#include "package/package_digest.h"

#include <zlib.h>

namespace brx {

std::optional<uint32_t> ReadDigest(MemoryRange payload) {
  if (payload.size != kDigestSize) return std::nullopt;
  return ReadLe32(payload.data);
}

namespace {

constexpr uint32_t kAdlerBase = 65521;  // the largest prime below 2^16

}  // namespace

uint32_t Adler32(uint32_t adler, const uint8_t* bytes, size_t size) {
  // zlib's own Adler-32, which inflate already links in; its length is
  // 32 bits wide on Windows.
  while (size > 0) {
    const uInt part = size > (1u << 30) ? (1u << 30) : static_cast<uInt>(size);
    adler = static_cast<uint32_t>(adler32(adler, bytes, part));
    bytes += part;
    size -= part;
  }
  return adler;
}

// zlib's adler32_combine, on a 64-bit length: zlib's own takes a z_off_t,
// which is 32 bits wide on Windows.
uint32_t CombineAdler32(uint32_t first, uint32_t second, uint64_t secondSize) {
  const uint32_t remainder = static_cast<uint32_t>(secondSize % kAdlerBase);
  uint32_t sum1 = first & 0xFFFF;
  uint32_t sum2 = static_cast<uint32_t>(uint64_t{remainder} * sum1 % kAdlerBase);
  sum1 += (second & 0xFFFF) + kAdlerBase - 1;
  sum2 += ((first >> 16) & 0xFFFF) + ((second >> 16) & 0xFFFF) + kAdlerBase - remainder;
  if (sum1 >= kAdlerBase) sum1 -= kAdlerBase;
  if (sum1 >= kAdlerBase) sum1 -= kAdlerBase;
  if (sum2 >= (kAdlerBase << 1)) sum2 -= (kAdlerBase << 1);
  if (sum2 >= kAdlerBase) sum2 -= kAdlerBase;
  return sum1 | (sum2 << 16);
}

void PackageDigest::AddBytes(const uint8_t* bytes, uint32_t size) {
  adler_ = Adler32(adler_, bytes, size);
}

void PackageDigest::AddRecord(const DirectoryEntry& entry) {
  uint8_t record[kDirectoryEntrySize];
  EncodeDirectoryEntry(entry, record);
  AddBytes(record, sizeof record);
}

void PackageDigest::AddEntry(const DirectoryEntry& entry, MemoryRange stored) {
  AddRecord(entry);
  AddBytes(stored.data, stored.size);
}

void PackageDigest::AddEntry(const DirectoryEntry& entry, uint32_t storedAdler32) {
  AddRecord(entry);
  adler_ = CombineAdler32(adler_, storedAdler32, entry.compressedSize);
}

void PackageDigest::AddDigestEntry(const DirectoryEntry& entry) {
  AddRecord(entry);
}

}  // namespace brx
