#pragma once
// A zlib stream made piece by piece, for content too large to hold whole.
// Each piece is compressed whole and on its own by the entry's compressor
// (the same deflater and level as a whole entry, so about the same speed
// and size), then made to go on: the final bit of its last block is
// cleared and an empty stored block ends it on a byte boundary, as zlib's
// sync flush does. Laid end to end between the header and the content's
// Adler-32, the pieces are one stream. Their bounds depend only on the
// content's size, so the stream is the same whatever thread made which.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "brxpack/package/zlib_compressor.h"

struct z_stream_s;

namespace brxpack {

// A whole number of stored blocks, so that a piece kept stored fills its
// blocks exactly as the whole-buffer stored form (Store) does; just under
// 1 MiB. Starting each piece afresh costs about 0.3 % on text.
inline constexpr size_t kPieceSize = 16 * kStoredBlockSize;

// The first two bytes of the stream, as the deflater writes them for the
// level (level 0's when every piece is stored, as Store's stream has).
std::array<uint8_t, 2> PiecedStreamHeader(Compression compression, bool storedOnly);
// The last four: the Adler-32 of the whole content, big-endian.
std::array<uint8_t, 4> PiecedStreamTrailer(uint32_t contentAdler32);

struct DeflatedPiece {
  std::vector<uint8_t> bytes;   // the piece's deflate data
  uint32_t contentAdler32 = 1;  // of the piece's content alone
};

// Not thread-safe: one per thread, beside the thread's ZlibCompressor.
// Holds an inflate state (about 40 KiB) that finds a piece's last block.
class PieceCompressor {
 public:
  PieceCompressor() = default;
  ~PieceCompressor();
  PieceCompressor(const PieceCompressor&) = delete;
  PieceCompressor& operator=(const PieceCompressor&) = delete;

  // The deflate data of the piece of `size` bytes (at most kPieceSize) at
  // `data`, made with `compressor`; `last` ends the stream's deflate data.
  // Compressed when that is smaller than stored blocks, else stored
  // blocks, as always with `storedOnly` and at level 0. False when the
  // compressor fails (a level it does not have, memory running out).
  bool Deflate(ZlibCompressor& compressor, const uint8_t* data, size_t size, bool last,
               bool storedOnly, DeflatedPiece& piece);

 private:
  bool GoOn(std::vector<uint8_t>& deflate, size_t contentSize);

  z_stream_s* inflater_ = nullptr;  // made at the first piece that goes on
};

}  // namespace brxpack
