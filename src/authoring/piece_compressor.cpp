#include "authoring/piece_compressor.h"

#include <zlib.h>

#include <algorithm>
#include <new>

#include "package/package_digest.h"

namespace brx {

namespace {

constexpr size_t kStoredBlock = 65535;
// zlib's defaults: the whole 32 KiB window and its usual memory level.
constexpr int kRawDeflateWindowBits = -15;
constexpr int kMemoryLevel = 8;

// The deflate data of `size` bytes in stored blocks: at least one block.
size_t StoredBlocksSize(size_t size) {
  const size_t blocks = size == 0 ? 1 : (size + kStoredBlock - 1) / kStoredBlock;
  return size + 5 * blocks;
}

// Every piece ends on a byte boundary, so each block's 3 header bits take
// a byte of their own, the rest of it padding.
void StoredBlocks(const uint8_t* data, size_t size, bool last, std::vector<uint8_t>& out) {
  out.clear();
  out.reserve(StoredBlocksSize(size));
  size_t done = 0;
  do {
    const size_t length = std::min(size - done, kStoredBlock);
    const bool final = last && done + length == size;
    out.push_back(final ? 1 : 0);
    out.push_back(static_cast<uint8_t>(length));
    out.push_back(static_cast<uint8_t>(length >> 8));
    out.push_back(static_cast<uint8_t>(~length));
    out.push_back(static_cast<uint8_t>(~length >> 8));
    if (length != 0) out.insert(out.end(), data + done, data + done + length);
    done += length;
  } while (done < size);
}

}  // namespace

int ZlibLevelOf(Compression compression) {
  const int top = compression.deflater == Deflater::kZlib ? 9 : kMaxCompressionLevel;
  if (compression.level < 0 || compression.level > top) return -1;
  return std::min(compression.level, 9);
}

std::array<uint8_t, 2> PiecedStreamHeader(Compression compression, bool storedOnly) {
  const int level = storedOnly ? 0 : ZlibLevelOf(compression);
  // zlib's FLEVEL: 0 fastest (and stored), 1 fast, 2 its default (6), 3 slower.
  const unsigned flags = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
  unsigned header = (0x78u << 8) | (flags << 6);
  header += 31 - header % 31;
  return {static_cast<uint8_t>(header >> 8), static_cast<uint8_t>(header)};
}

std::array<uint8_t, 4> PiecedStreamTrailer(uint32_t contentAdler32) {
  return {static_cast<uint8_t>(contentAdler32 >> 24), static_cast<uint8_t>(contentAdler32 >> 16),
          static_cast<uint8_t>(contentAdler32 >> 8), static_cast<uint8_t>(contentAdler32)};
}

PieceCompressor::PieceCompressor(Compression compression) : level_(ZlibLevelOf(compression)) {}

PieceCompressor::~PieceCompressor() {
  if (stream_ == nullptr) return;
  deflateEnd(stream_);
  delete stream_;
}

bool PieceCompressor::Deflate(const uint8_t* history, size_t historySize, const uint8_t* data,
                              size_t size, bool last, bool storedOnly, DeflatedPiece& piece) {
  if (level_ < 0 || historySize > kPieceHistory || size > kPieceSize) return false;
  piece.contentAdler32 = Adler32(1, data, size);
  if (!storedOnly && level_ > 0) {
    switch (Compress(history, historySize, data, size, last, piece.bytes)) {
      case Outcome::kSmaller:
        return true;
      case Outcome::kFailed:
        return false;
      case Outcome::kNotSmaller:
        break;
    }
  }
  StoredBlocks(data, size, last, piece.bytes);
  return true;
}

PieceCompressor::Outcome PieceCompressor::Compress(const uint8_t* history, size_t historySize,
                                                   const uint8_t* data, size_t size, bool last,
                                                   std::vector<uint8_t>& out) {
  if (stream_ == nullptr) {
    z_stream* stream = new (std::nothrow) z_stream{};
    if (stream == nullptr) return Outcome::kFailed;
    if (deflateInit2(stream, level_, Z_DEFLATED, kRawDeflateWindowBits, kMemoryLevel,
                     Z_DEFAULT_STRATEGY) != Z_OK) {
      delete stream;
      return Outcome::kFailed;
    }
    stream_ = stream;
  } else if (deflateReset(stream_) != Z_OK) {
    return Outcome::kFailed;
  }
  if (historySize > 0 &&
      deflateSetDictionary(stream_, history, static_cast<uInt>(historySize)) != Z_OK) {
    return Outcome::kFailed;
  }
  // Room for less than the stored blocks only: a piece that does not fit
  // would not be worth keeping compressed.
  out.resize(StoredBlocksSize(size));
  stream_->next_in = const_cast<Bytef*>(data);
  stream_->avail_in = static_cast<uInt>(size);
  stream_->next_out = out.data();
  stream_->avail_out = static_cast<uInt>(out.size());
  // A sync flush ends a piece on a byte boundary without ending the stream.
  const int result = deflate(stream_, last ? Z_FINISH : Z_SYNC_FLUSH);
  if (result == Z_STREAM_ERROR) return Outcome::kFailed;
  const bool ended = last ? result == Z_STREAM_END : result == Z_OK && stream_->avail_in == 0;
  if (!ended || stream_->avail_out == 0) return Outcome::kNotSmaller;
  out.resize(out.size() - stream_->avail_out);
  return Outcome::kSmaller;
}

}  // namespace brx
