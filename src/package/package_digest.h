#pragma once
// The package digest: one Adler-32 over every stored byte of a package and
// its directory records, kept in a section of its own, so that a damaged
// download is refused before anything changes, not file by file on the way.
// Readers that do not know the section pass over it, as over any unknown
// section. A package without it is read as before.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "package/format.h"
#include "package/memory_range.h"
#include "package/section_names.h"

namespace brx {

// kDigestSection's payload: the digest as a 32-bit little-endian number.
inline constexpr uint32_t kDigestSize = 4;

// The digest such a payload holds; nothing unless it has exactly that size.
std::optional<uint32_t> ReadDigest(MemoryRange payload);

// Adler-32 (zlib's) of `size` bytes, continued from `adler` (1 to start).
uint32_t Adler32(uint32_t adler, const uint8_t* bytes, size_t size);
// The Adler-32 of two runs of bytes one after the other, from each run's
// own (each started at 1) and the second's length: what a writer needs
// when a run's parts are checksummed apart or before what precedes them.
uint32_t CombineAdler32(uint32_t first, uint32_t second, uint64_t secondSize);

// The digest of a package, built entry by entry in directory order: each
// entry's record (48 bytes as encoded) and then its stored bytes, except
// for the digest entry, whose record is covered but not its stored bytes
// (they hold the digest). A writer feeds each entry as it lays it out.
class PackageDigest {
 public:
  void AddEntry(const DirectoryEntry& entry, MemoryRange stored);
  // The same for stored bytes never held whole at once: `storedAdler32` is
  // their Adler-32, over entry.compressedSize bytes.
  void AddEntry(const DirectoryEntry& entry, uint32_t storedAdler32);
  void AddDigestEntry(const DirectoryEntry& entry);
  uint32_t value() const { return adler_; }

 private:
  void AddRecord(const DirectoryEntry& entry);
  void AddBytes(const uint8_t* bytes, uint32_t size);

  uint32_t adler_ = 1;  // Adler-32's starting value
};

}  // namespace brx
