#pragma once
// A zlib stream made piece by piece, for content too large to hold whole:
// each piece is deflated on its own, on any thread, from the piece and the
// 32 KiB of content before it (deflate's window), and ends on a byte
// boundary, so the pieces laid one after the other, behind the header and
// before the content's Adler-32, are one stream. The pieces' bounds depend
// only on the content's size, so the stream is the same whatever deflates
// them and in whatever order. zlib's deflate writes them (libdeflate has no
// way to continue a stream): the same bytes for the same input and level on
// every machine with the same zlib.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "authoring/zlib_compressor.h"

struct z_stream_s;

namespace brx {

// A whole number of stored blocks, so that a piece kept stored fills its
// blocks exactly as the whole-buffer stored form (Store) does; just under
// 1 MiB.
inline constexpr size_t kPieceSize = 16 * 65535;
// The content before a piece that its deflate may refer back to.
inline constexpr size_t kPieceHistory = 32 * 1024;

// zlib's level for a compression: libdeflate's levels above 9, which zlib
// lacks, take zlib's 9; -1 for a level the deflater does not have.
int ZlibLevelOf(Compression compression);

// The first two bytes of the stream, naming its level as zlib does (level
// 0 when every piece is stored blocks, as Store's stream does).
std::array<uint8_t, 2> PiecedStreamHeader(Compression compression, bool storedOnly);
// The last four: the Adler-32 of the whole content, big-endian.
std::array<uint8_t, 4> PiecedStreamTrailer(uint32_t contentAdler32);

struct DeflatedPiece {
  std::vector<uint8_t> bytes;   // the piece's deflate data
  uint32_t contentAdler32 = 1;  // of the piece's content alone
};

// Not thread-safe: one per thread. Holds zlib's state (about 300 KiB) once
// it has deflated a piece.
class PieceCompressor {
 public:
  explicit PieceCompressor(Compression compression);
  ~PieceCompressor();
  PieceCompressor(const PieceCompressor&) = delete;
  PieceCompressor& operator=(const PieceCompressor&) = delete;

  // Deflates `size` bytes at `data`, which follow the `historySize` bytes at
  // `history` in the content (at most kPieceHistory; none for the first
  // piece); `last` ends the deflate data. Compressed when that is smaller
  // than stored blocks, else stored blocks, as it is with `storedOnly` and
  // at level 0. False for a level the deflater does not have or memory
  // running out.
  bool Deflate(const uint8_t* history, size_t historySize, const uint8_t* data, size_t size,
               bool last, bool storedOnly, DeflatedPiece& piece);

 private:
  enum class Outcome { kSmaller, kNotSmaller, kFailed };
  Outcome Compress(const uint8_t* history, size_t historySize, const uint8_t* data, size_t size,
                   bool last, std::vector<uint8_t>& out);

  int level_;
  z_stream_s* stream_ = nullptr;  // made at the first compressed piece
};

}  // namespace brx
