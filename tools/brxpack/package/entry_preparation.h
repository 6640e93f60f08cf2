#pragma once
// One entry of a package made ready to write: read and made a zlib stream, compressed, or in stored
// blocks where compression would not make it smaller.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "brxpack/package/zlib_compressor.h"

namespace brxpack {

struct EntryToWrite {
  std::string name;  // Windows-1251, at most 31 bytes
  // The content: these bytes, or the file when fromFile is set.
  std::vector<uint8_t> bytes;
  bool fromFile = false;
  std::filesystem::path file;
  // The file's size when the payload was listed; set, another size at
  // reading refuses the entry (the file changed under the build).
  std::optional<uint64_t> listedSize;
  bool stored = false;  // never compress: stored blocks only
};

struct PreparedEntry {
  std::optional<std::string> error;  // set: nothing else is
  uint64_t size = 0;                 // of the entry's own bytes
  std::vector<uint8_t> compressed;   // the zlib stream written for it
};

// Reads `entry` and makes its stream with this thread's compressor. Fails,
// naming the file, for an unreadable file or one that changed since it was
// listed, content of 4 GiB or more, or memory running out.
PreparedEntry PrepareEntry(const EntryToWrite& entry, ZlibCompressor& compressor);

}  // namespace brxpack
