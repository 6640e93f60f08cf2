#pragma once
// One piece of a file too large to hold whole, read and deflated on its own
// (piece_compressor.h): the file's entry is then written piece by
// piece, so memory holds a piece or two per thread, whatever the file's size.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "brxpack/package/piece_compressor.h"
#include "brxpack/package/entry_preparation.h"

namespace brxpack {

// Files up to this size are read and compressed whole, as they always
// were; larger ones piece by piece. 16 MiB keeps a whole entry's
// preparation within about 2 x 16 MiB (the file and the stream made from
// it), while few files pay the pieces' fresh starts (about 0.3 % on text).
inline constexpr uint64_t kWholeEntryLimit = uint64_t{16} << 20;

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
