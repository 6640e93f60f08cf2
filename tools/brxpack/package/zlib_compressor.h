#pragma once
// The publisher's zlib streams, written by libdeflate: the same bytes for the
// same input and level on every machine and build of it. A compressor holds
// a few hundred kilobytes of match-finder state, so each thread keeps one.
//
// Content too large to hold whole is made a stream piece by piece. Each
// piece is compressed whole and on its own by the entry's compressor (the
// same deflater and level as a whole entry, so about the same speed and
// size), then made to go on: the final bit of its last block is cleared and
// an empty stored block ends it on a byte boundary, as zlib's sync flush
// does. Laid end to end between the header and the content's Adler-32, the
// pieces are one stream. Their bounds depend only on the content's size, so
// the stream is the same whatever thread made which.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "brxpack/manifest/compression_level.h"

struct libdeflate_compressor;
struct z_stream_s;

namespace brxpack {

enum class Deflater {
  kLibdeflate,
  kZlib,  // zlib's deflate (levels 0-9): only to measure builds against it
};

struct Compression {
  int level = kDefaultCompressionLevel;  // 0 (stored blocks only) to kMaxCompressionLevel
  Deflater deflater = Deflater::kLibdeflate;
};

// The most bytes one stored block holds.
inline constexpr size_t kStoredBlockSize = 65535;

// The bytes of the all-stored zlib stream of `size` bytes (Store's), one
// stored block per 65,535 bytes or part of them, at least one.
size_t StoredStreamSize(size_t size);

class ZlibCompressor {
 public:
  explicit ZlibCompressor(Compression compression);
  ~ZlibCompressor();
  ZlibCompressor(const ZlibCompressor&) = delete;
  ZlibCompressor& operator=(const ZlibCompressor&) = delete;

  // A zlib stream of `data` at this level. Empty for a level out of range,
  // memory running out, or 4 GiB of data or more (no entry holds that).
  std::vector<uint8_t> Compress(const uint8_t* data, size_t size);
  // A zlib stream of stored blocks only, whatever the level.
  std::vector<uint8_t> Store(const uint8_t* data, size_t size);
  // The smaller of the two: compressed when that shrinks the data, else
  // stored blocks, so the stream's Adler-32 still covers every byte. Empty
  // when Compress fails. Never holds both streams at once.
  std::vector<uint8_t> CompressOrStore(const uint8_t* data, size_t size);

  const Compression& compression() const { return compression_; }

 private:
  Compression compression_;
  libdeflate_compressor* compressor_ = nullptr;
  libdeflate_compressor* storer_ = nullptr;
};

// A whole number of stored blocks, so that a piece kept stored fills its
// blocks exactly as the whole-buffer stored form (Store) does; just under 1 MiB.
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
