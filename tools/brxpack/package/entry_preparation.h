#pragma once
// One entry of a package made ready to write: read and made a zlib stream,
// compressed, or in stored blocks where compression would not make it
// smaller. A file too large to hold whole is read and deflated piece by
// piece (zlib_compressor.h), so memory holds a piece or two per thread,
// whatever the file's size.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "brxpack/package/zlib_compressor.h"

namespace brxpack {

// Files up to this size are read and compressed whole, as they always
// were; larger ones piece by piece. 16 MiB keeps a whole entry's
// preparation within about 2 x 16 MiB (the file and the stream made from
// it), while few files pay the pieces' fresh starts (about 0.3 % on text).
inline constexpr uint64_t kWholeEntryLimit = uint64_t{16} << 20;

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

// How many pieces a file of `size` bytes comes in.
uint32_t PieceCount(uint64_t size);

struct PreparedPiece {
  std::optional<std::string> error;  // set: nothing else is
  uint64_t size = 0;                 // of the content it covers
  DeflatedPiece deflated;
};

// Reads piece `index` of the file of `entry`, which must still have
// `entrySize` bytes, into `buffer` (the thread's own, kept from piece to
// piece), and deflates it with the thread's compressors. Fails, naming the
// file, as PrepareEntry does.
PreparedPiece PreparePiece(const EntryToWrite& entry, uint64_t entrySize, uint32_t index,
                           ZlibCompressor& compressor, PieceCompressor& pieces,
                           std::vector<uint8_t>& buffer);

}  // namespace brxpack
