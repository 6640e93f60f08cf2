#pragma once
// One entry of a package made ready to write: read (or mapped) and made a
// zlib stream, compressed, or in stored blocks where compression would not
// make it smaller.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "authoring/zlib_compressor.h"
#include "brxpack/host/mapped_file.h"

namespace brxpack {

struct EntryToWrite {
  std::string name;  // Windows-1251, at most 31 bytes
  // The content: these bytes, or the file when fromFile is set.
  std::vector<uint8_t> bytes;
  bool fromFile = false;
  std::filesystem::path file;
  bool stored = false;  // never compress: stored blocks only
};

struct PreparedEntry {
  std::optional<std::string> error;  // set: nothing else is
  MappedFile mapping;                // holds content for an entry from a file
  const uint8_t* content = nullptr;  // the entry's own bytes
  uint64_t size = 0;
  std::vector<uint8_t> compressed;  // the zlib stream written for it

  // Whether compression shrank it (else its stream holds stored blocks).
  bool shrank() const { return compressed.size() < size; }
};

// Reads `entry` and makes its stream with this thread's compressor. Fails for an unreadable
// file, content of 4 GiB or more, or memory running out. The entry's own
// bytes must outlive the result, which points into them.
PreparedEntry PrepareEntry(const EntryToWrite& entry, brx::ZlibCompressor& compressor);

}  // namespace brxpack
