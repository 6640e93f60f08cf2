#include "brxpack/package/zlib_compressor.h"

#include <libdeflate.h>
#include <zlib.h>

namespace brxpack {

namespace {

constexpr size_t kMaxInput = UINT32_MAX;

// libdeflate and zlib want a readable pointer even for no bytes.
const uint8_t* Readable(const uint8_t* data, size_t size) {
  static const uint8_t kNothing = 0;
  return size != 0 ? data : &kNothing;
}

std::vector<uint8_t> WithLibdeflate(libdeflate_compressor* compressor, const uint8_t* data,
                                    size_t size) {
  if (compressor == nullptr || size > kMaxInput) return {};
  std::vector<uint8_t> out(libdeflate_zlib_compress_bound(compressor, size));
  const size_t written =
      libdeflate_zlib_compress(compressor, Readable(data, size), size, out.data(), out.size());
  // The bound always suffices; 0 would mean it did not.
  if (written == 0) return {};
  out.resize(written);
  return out;
}

std::vector<uint8_t> WithZlib(const uint8_t* data, size_t size, int level) {
  if (size > kMaxInput) return {};
  uLongf length = compressBound(static_cast<uLong>(size));
  std::vector<uint8_t> out(length);
  if (compress2(out.data(), &length, Readable(data, size), static_cast<uLong>(size), level) !=
      Z_OK) {
    return {};
  }
  out.resize(length);
  return out;
}

}  // namespace

size_t StoredStreamSize(size_t size) {
  const size_t blocks = size == 0 ? 1 : (size + kStoredBlockSize - 1) / kStoredBlockSize;
  // The zlib header, each block's 5-byte header and the Adler-32.
  return 2 + size + 5 * blocks + 4;
}

ZlibCompressor::ZlibCompressor(Compression compression) : compression_(compression) {
  const bool inRange = compression.level >= 0 && compression.level <= kMaxCompressionLevel;
  if (inRange && compression.deflater == Deflater::kLibdeflate) {
    compressor_ = libdeflate_alloc_compressor(compression.level);
  }
  storer_ = libdeflate_alloc_compressor(0);
}

ZlibCompressor::~ZlibCompressor() {
  libdeflate_free_compressor(compressor_);
  libdeflate_free_compressor(storer_);
}

std::vector<uint8_t> ZlibCompressor::Compress(const uint8_t* data, size_t size) {
  if (compression_.deflater == Deflater::kZlib) {
    return WithZlib(data, size, compression_.level);
  }
  return WithLibdeflate(compressor_, data, size);
}

std::vector<uint8_t> ZlibCompressor::Store(const uint8_t* data, size_t size) {
  return WithLibdeflate(storer_, data, size);
}

std::vector<uint8_t> ZlibCompressor::CompressOrStore(const uint8_t* data, size_t size) {
  if (compression_.level == 0) return Store(data, size);
  std::vector<uint8_t> compressed = Compress(data, size);
  // libdeflate falls back to stored blocks by itself, block by block; its
  // stream can come out a few bytes under the all-stored one.
  if (compressed.empty() || compressed.size() < StoredStreamSize(size)) return compressed;
  // Dropped before the stored form is made, so that an entry that does not
  // shrink costs its own size in memory once, not twice.
  compressed = {};
  return Store(data, size);
}

}  // namespace brxpack
