#pragma once
// The publisher's zlib streams, written by libdeflate: the same bytes for the
// same input and level on every machine and build of it. A compressor holds
// a few hundred kilobytes of match-finder state, so each thread keeps one.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "brxpack/manifest/compression_level.h"

struct libdeflate_compressor;

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

// Not thread-safe: one per thread.
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

}  // namespace brxpack
