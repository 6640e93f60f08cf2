#pragma once
// The writer side of the container, for tests and the authoring tool (never
// linked into PATCH.EXE, which composes no package). Entries are laid from
// offset 32 in the order given, the directory behind them.
#include <cstdint>
#include <string>
#include <vector>

#include "authoring/zlib_compressor.h"

namespace brx {

enum class EntryStorage { kStored, kCompressed };

struct PackageEntrySource {
  std::string name;  // at most 31 bytes
  std::vector<uint8_t> content;
  EntryStorage storage = EntryStorage::kCompressed;
  uint32_t extraFlags = 0;  // further flag bits to set (ignored by readers)
  int level = -1;           // level of a compressed entry (0-12); -1: the options' level
};

struct PackageWriterOptions {
  int level = kDefaultCompressionLevel;  // 0-12
  bool compressDirectory = true;
  uint32_t extraDirectoryFlags = 0;  // bits above the method, ignored by readers
  bool digest = false;  // a package digest behind the entries, its record last, as brxpack writes
};

// Compresses one buffer into a zlib stream with libdeflate at this level
// (0-12), as brxpack does; empty for a level out of range.
std::vector<uint8_t> CompressZlib(const uint8_t* data, size_t size, int level);

// Composes a package file. Fails (empty result, reason in *error) only for an
// entry name longer than 31 bytes, no entries, a package past 4 GiB, or a
// level out of range. The stored bit of extraFlags is ignored: the
// storage field alone decides it.
std::vector<uint8_t> WritePackage(const std::vector<PackageEntrySource>& entries,
                                  const PackageWriterOptions& options, std::string* error);

// A self-applying executable: stub bytes, package bytes and the trailer.
// Empty for a stub of 4 GiB or more, whose size the trailer cannot hold.
std::vector<uint8_t> AppendPackageToStub(const std::vector<uint8_t>& stub,
                                         const std::vector<uint8_t>& package);

}  // namespace brx
