#include "brxpack/package/zlib_compressor.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <new>

#include "package/package_digest.h"

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

constexpr size_t kZlibHeaderSize = 2;
constexpr size_t kZlibTrailerSize = 4;
// An empty stored block after its header bits: length 0 and its complement.
constexpr uint8_t kEmptyStoredLengths[] = {0x00, 0x00, 0xFF, 0xFF};
constexpr int kRawDeflateWindowBits = -15;

// The deflate data of `size` bytes in stored blocks: at least one block.
size_t StoredBlocksSize(size_t size) {
  return StoredStreamSize(size) - kZlibHeaderSize - kZlibTrailerSize;
}

// Every piece begins on a byte boundary, so each block's 3 header bits take
// a byte of their own, the rest of it padding.
void StoredBlocks(const uint8_t* data, size_t size, bool last, std::vector<uint8_t>& out) {
  out.clear();
  out.reserve(StoredBlocksSize(size));
  size_t done = 0;
  do {
    const size_t length = std::min(size - done, kStoredBlockSize);
    const bool final = last && done + length == size;
    out.insert(out.end(), {static_cast<uint8_t>(final ? 1 : 0), static_cast<uint8_t>(length),
                           static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(~length),
                           static_cast<uint8_t>(~length >> 8)});
    if (length != 0) out.insert(out.end(), data + done, data + done + length);
    done += length;
  } while (done < size);
}

// The FLEVEL each deflater writes for a level: both name four speeds, with
// other bounds between them.
unsigned LevelHint(Compression compression) {
  const int level = compression.level;
  if (level < 2) return 0;
  if (level < 6) return 1;
  if (compression.deflater == Deflater::kZlib) return level == 6 ? 2 : 3;
  return level < 8 ? 2 : 3;
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
  return compression_.deflater == Deflater::kZlib ? WithZlib(data, size, compression_.level)
                                                  : WithLibdeflate(compressor_, data, size);
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

std::array<uint8_t, 2> PiecedStreamHeader(Compression compression, bool storedOnly) {
  unsigned header = (0x78u << 8) | ((storedOnly ? 0 : LevelHint(compression)) << 6);
  header += 31 - header % 31;
  return {static_cast<uint8_t>(header >> 8), static_cast<uint8_t>(header)};
}

std::array<uint8_t, 4> PiecedStreamTrailer(uint32_t contentAdler32) {
  return {static_cast<uint8_t>(contentAdler32 >> 24), static_cast<uint8_t>(contentAdler32 >> 16),
          static_cast<uint8_t>(contentAdler32 >> 8), static_cast<uint8_t>(contentAdler32)};
}

PieceCompressor::~PieceCompressor() {
  if (inflater_ == nullptr) return;
  inflateEnd(inflater_);
  delete inflater_;
}

bool PieceCompressor::Deflate(ZlibCompressor& compressor, const uint8_t* data, size_t size,
                              bool last, bool storedOnly, DeflatedPiece& piece) {
  if (size > kPieceSize) return false;
  piece.contentAdler32 = brx::Adler32(1, data, size);
  if (!storedOnly && compressor.compression().level != 0) {
    std::vector<uint8_t> deflate = compressor.Compress(data, size);
    if (deflate.size() < kZlibHeaderSize + kZlibTrailerSize) return false;
    deflate.erase(deflate.end() - kZlibTrailerSize, deflate.end());
    deflate.erase(deflate.begin(), deflate.begin() + kZlibHeaderSize);
    if (!last && !GoOn(deflate, size)) return false;
    if (deflate.size() < StoredBlocksSize(size)) {
      piece.bytes = std::move(deflate);
      return true;
    }
  }
  StoredBlocks(data, size, last, piece.bytes);
  return true;
}

// zlib's inflate, asked to stop at every block boundary (Z_BLOCK), says
// there where the next block begins and, after the last one, how many bits
// of the last byte are left over.
bool PieceCompressor::GoOn(std::vector<uint8_t>& deflate, size_t contentSize) {
  if (inflater_ == nullptr) {
    z_stream* inflater = new (std::nothrow) z_stream{};
    if (inflater == nullptr) return false;
    if (inflateInit2(inflater, kRawDeflateWindowBits) != Z_OK) {
      delete inflater;
      return false;
    }
    inflater_ = inflater;
  } else if (inflateReset(inflater_) != Z_OK) {
    return false;
  }
  uint8_t room[16 * 1024];
  inflater_->next_in = deflate.data();
  inflater_->avail_in = static_cast<uInt>(deflate.size());
  size_t produced = 0;
  size_t lastBlockBit = 0;  // the first block's, while it is the only one seen
  int leftOverBits = -1;
  for (;;) {
    inflater_->next_out = room;
    inflater_->avail_out = sizeof room;
    const int result = inflate(inflater_, Z_BLOCK);
    produced += sizeof room - inflater_->avail_out;
    if (result == Z_STREAM_END) break;
    const int type = inflater_->data_type;
    const bool boundary = (type & 128) != 0;
    // A call that only reaches a boundary (the end of a block whose last
    // code was already read) produces nothing and says so; it is no error.
    if (result != Z_OK && !(result == Z_BUF_ERROR && boundary)) return false;
    if (!boundary) continue;
    const size_t bit = (deflate.size() - inflater_->avail_in) * 8 - (type & 7);
    if ((type & 64) == 0) {
      lastBlockBit = bit;
    } else {
      leftOverBits = type & 7;
    }
  }
  if (produced != contentSize || inflater_->avail_in != 0 || leftOverBits < 0) return false;
  deflate[lastBlockBit / 8] &= static_cast<uint8_t>(~(1u << (lastBlockBit % 8)));
  // The empty stored block's 3 header bits, all 0, go in the bits left over
  // where they fit, else in a byte of their own; padding to the byte
  // follows, then the lengths.
  deflate.back() &= static_cast<uint8_t>((1u << (8 - leftOverBits)) - 1);
  if (leftOverBits < 3) deflate.push_back(0);
  deflate.insert(deflate.end(), std::begin(kEmptyStoredLengths), std::end(kEmptyStoredLengths));
  return true;
}

}  // namespace brxpack
