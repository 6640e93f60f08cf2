#include "brxpack/authoring/entry_preparation.h"

#include <new>

#include "brxpack/contents/windows1251.h"
#include "brxpack/host/host_path.h"

namespace brxpack {

namespace {

std::string Describe(const EntryToWrite& entry) {
  return entry.fromFile ? Utf8FromPath(entry.file) : "section " + Windows1251ToUtf8(entry.name);
}

}  // namespace

PreparedEntry PrepareEntry(const EntryToWrite& entry, brx::ZlibCompressor& compressor) {
  PreparedEntry ready;
  try {
    if (entry.fromFile) {
      Result<MappedFile> mapping = MappedFile::Open(entry.file);
      if (!mapping.ok()) {
        ready.error = mapping.error();
        return ready;
      }
      ready.mapping = std::move(*mapping);
      ready.content = ready.mapping.data();
      ready.size = ready.mapping.size();
    } else {
      ready.content = entry.bytes.data();
      ready.size = entry.bytes.size();
    }
    if (ready.size > UINT32_MAX) {
      ready.error = Describe(entry) + " is 4 GiB or larger; entries hold 32-bit sizes";
      return ready;
    }
    // Every entry is a zlib stream, so the installer's Adler-32 check
    // covers every byte; what does not shrink goes into stored blocks, a
    // few bytes per 64 KB more than the bytes themselves.
    ready.compressed = entry.stored ? compressor.Store(ready.content, ready.size)
                                    : compressor.CompressOrStore(ready.content, ready.size);
    if (ready.compressed.empty()) ready.error = Describe(entry) + ": could not compress it";
  } catch (const std::bad_alloc&) {
    ready.compressed.clear();
    ready.error = Describe(entry) + ": out of memory";
  }
  return ready;
}

}  // namespace brxpack
