#include "package/package_digest.h"

#include <zlib.h>

namespace brx {

std::optional<uint32_t> ReadDigest(MemoryRange payload) {
  if (payload.size != kDigestSize) return std::nullopt;
  return ReadLe32(payload.data);
}

void PackageDigest::AddBytes(const uint8_t* bytes, uint32_t size) {
  // zlib's own Adler-32, which inflate already links in.
  adler_ = static_cast<uint32_t>(adler32(adler_, bytes, size));
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

void PackageDigest::AddDigestEntry(const DirectoryEntry& entry) {
  AddRecord(entry);
}

}  // namespace brx
