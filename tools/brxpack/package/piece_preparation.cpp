#include "brxpack/package/piece_preparation.h"

#include <algorithm>
#include <new>

#include "brxpack/host/host_path.h"
#include "brxpack/host/whole_file.h"

namespace brxpack {

uint32_t PieceCount(uint64_t size) {
  return static_cast<uint32_t>((size + kPieceSize - 1) / kPieceSize);
}

PreparedPiece PreparePiece(const EntryToWrite& entry, uint64_t entrySize, uint32_t index,
                           ZlibCompressor& compressor, PieceCompressor& pieces,
                           std::vector<uint8_t>& buffer) {
  PreparedPiece ready;
  try {
    const uint64_t offset = uint64_t{index} * kPieceSize;
    ready.size = std::min<uint64_t>(kPieceSize, entrySize - offset);
    // Room for a whole piece at once: grown to the first one's size, and
    // then the next, it could double.
    buffer.reserve(kPieceSize);
    const Status read =
        ReadFilePart(entry.file, entrySize, offset, static_cast<size_t>(ready.size), buffer);
    if (!read.ok()) {
      ready.error = read.error();
      return ready;
    }
    const bool last = offset + ready.size == entrySize;
    if (!pieces.Deflate(compressor, buffer.data(), buffer.size(), last, entry.stored,
                        ready.deflated)) {
      ready.error = Utf8FromPath(entry.file) + ": could not compress it";
    }
  } catch (const std::bad_alloc&) {
    ready.deflated = {};
    ready.error = Utf8FromPath(entry.file) + ": out of memory";
  }
  return ready;
}

}  // namespace brxpack
