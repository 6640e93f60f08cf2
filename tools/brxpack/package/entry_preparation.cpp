#include "brxpack/package/entry_preparation.h"

#include <new>

#include "brxpack/contents/windows1251.h"
#include "brxpack/host/host_path.h"
#include "brxpack/host/whole_file.h"

namespace brxpack {

namespace {

std::string Describe(const EntryToWrite& entry) {
  return entry.fromFile ? Utf8FromPath(entry.file) : "section " + Windows1251ToUtf8(entry.name);
}

}  // namespace

PreparedEntry PrepareEntry(const EntryToWrite& entry, ZlibCompressor& compressor) {
  PreparedEntry ready;
  try {
    // Read here and dropped once compressed: only the stream waits for the writer.
    std::vector<uint8_t> fileBytes;
    const std::vector<uint8_t>* content = &entry.bytes;
    if (entry.fromFile) {
      Result<std::vector<uint8_t>> read = ReadWholeFile(entry.file, entry.listedSize);
      if (!read.ok()) {
        ready.error = read.error();
        return ready;
      }
      fileBytes = std::move(*read);
      content = &fileBytes;
    }
    ready.size = content->size();
    if (ready.size > UINT32_MAX) {
      ready.error = Describe(entry) + " is 4 GiB or larger; entries hold 32-bit sizes";
      return ready;
    }
    // Every entry is a zlib stream, so the installer's Adler-32 check
    // covers every byte; what does not shrink goes into stored blocks, a
    // few bytes per 64 KB more than the bytes themselves.
    ready.compressed = entry.stored ? compressor.Store(content->data(), ready.size)
                                    : compressor.CompressOrStore(content->data(), ready.size);
    if (ready.compressed.empty()) ready.error = Describe(entry) + ": could not compress it";
  } catch (const std::bad_alloc&) {
    ready.compressed.clear();
    ready.error = Describe(entry) + ": out of memory";
  }
  return ready;
}

}  // namespace brxpack
