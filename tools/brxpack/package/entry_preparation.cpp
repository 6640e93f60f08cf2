#include "brxpack/package/entry_preparation.h"

#include <algorithm>
#include <new>

#include "brxpack/contents/windows1251.h"
#include "brxpack/host/host_file_io.h"
#include "brxpack/host/host_path.h"

namespace brxpack {

namespace {

std::string Describe(const EntryToWrite& entry) {
  return entry.fromFile ? Utf8FromPath(entry.file) : "section " + Windows1251ToUtf8(entry.name);
}

// Runs `make`, which fills `ready` and says whether its compressor did its
// part; a failing compressor and memory running out become errors that name
// the entry.
template <typename Prepared, typename Make>
Prepared Prepare(const EntryToWrite& entry, Make make) {
  Prepared ready;
  try {
    if (!make(ready) && !ready.error) ready.error = Describe(entry) + ": could not compress it";
  } catch (const std::bad_alloc&) {
    ready = {};
    ready.error = Describe(entry) + ": out of memory";
  }
  return ready;
}

}  // namespace

PreparedEntry PrepareEntry(const EntryToWrite& entry, ZlibCompressor& compressor) {
  return Prepare<PreparedEntry>(entry, [&](PreparedEntry& ready) {
    // Read here and dropped once compressed: only the stream waits for the writer.
    std::vector<uint8_t> fileBytes;
    const std::vector<uint8_t>* content = &entry.bytes;
    if (entry.fromFile) {
      Result<std::vector<uint8_t>> read = ReadWholeFile(entry.file, entry.listedSize);
      if (!read.ok()) {
        ready.error = read.error();
        return false;
      }
      fileBytes = std::move(*read);
      content = &fileBytes;
    }
    ready.size = content->size();
    if (ready.size > UINT32_MAX) {
      ready.error = Describe(entry) + " is 4 GiB or larger; entries hold 32-bit sizes";
      return false;
    }
    // Every entry is a zlib stream, so the installer's Adler-32 check
    // covers every byte; what does not shrink goes into stored blocks, a
    // few bytes per 64 KB more than the bytes themselves.
    ready.compressed = entry.stored ? compressor.Store(content->data(), ready.size)
                                    : compressor.CompressOrStore(content->data(), ready.size);
    return !ready.compressed.empty();
  });
}

uint32_t PieceCount(uint64_t size) {
  return static_cast<uint32_t>((size + kPieceSize - 1) / kPieceSize);
}

PreparedPiece PreparePiece(const EntryToWrite& entry, uint64_t entrySize, uint32_t index,
                           ZlibCompressor& compressor, PieceCompressor& pieces,
                           std::vector<uint8_t>& buffer) {
  return Prepare<PreparedPiece>(entry, [&](PreparedPiece& ready) {
    const uint64_t offset = uint64_t{index} * kPieceSize;
    ready.size = std::min<uint64_t>(kPieceSize, entrySize - offset);
    // Room for a whole piece at once: grown to the first one's size, and
    // then the next, it could double.
    buffer.reserve(kPieceSize);
    const Status read =
        ReadFilePart(entry.file, entrySize, offset, static_cast<size_t>(ready.size), buffer);
    if (!read.ok()) {
      ready.error = read.error();
      return false;
    }
    const bool last = offset + ready.size == entrySize;
    return pieces.Deflate(compressor, buffer.data(), buffer.size(), last, entry.stored,
                          ready.deflated);
  });
}

}  // namespace brxpack
