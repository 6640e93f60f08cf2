#pragma once
// Writes a package straight to its output file: entries are compressed on
// several threads, and written in their given order as each is ready, so
// the output is the same whatever the number of threads. Every entry and
// the directory are zlib streams; what compression would not make smaller
// is kept in stored blocks, still under the stream's checksum. A package
// digest over every entry's record and stored bytes follows the entries
// (package_digest.h).
//
// Memory is bounded whatever the files' sizes. At most threads + 3 jobs
// are alive: `threads` being prepared, the others done, waiting or being
// written. A job is
//   - an entry up to the whole-entry limit (16 MiB): at most the content and
//     one stream of it while prepared (2 x 16 MiB), the stream alone
//     (16 MiB) once done;
//   - or one piece of a larger file: the piece and its stream (2 MiB) while
//     prepared, the stream (1 MiB) once done.
// Each thread also keeps its compressor's state (656 KiB at levels 2-9,
// 8.6 MiB at 10-12) and, once it makes a piece, an inflate state (40 KiB).
// With the default two threads that is at most about 115 MiB (130 MiB at
// levels 10-12) of entries of any sizes, and about 10 MiB for one large
// file, beyond the directory (48 bytes an entry).
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "brxpack/host/output_file.h"
#include "brxpack/host/progress_meter.h"
#include "brxpack/package/zlib_compressor.h"
#include "brxpack/result.h"

namespace brxpack {

// Files up to this size are read and compressed whole, larger ones piece
// by piece: few files pay the pieces' fresh starts (about 0.3 % on text).
inline constexpr uint64_t kWholeEntryLimit = uint64_t{16} << 20;

struct EntryToWrite {
  std::string name;  // Windows-1251, at most 31 bytes
  // The content: these bytes, or the file when fromFile is set.
  std::vector<uint8_t> bytes;
  bool fromFile = false;
  std::filesystem::path file;
  // The file's size when the payload was listed; set, another size at
  // reading refuses the entry (the file changed under the build).
  std::optional<uint64_t> listedSize;
  bool stored = false;  // never compress: stored blocks only
};

// What the build's summary counts.
struct WrittenEntry {
  uint32_t size = 0;
  bool compressed = false;  // shrank, rather than kept in stored blocks
};

struct StreamWriterOptions {
  Compression compression;  // for entries and the directory
  unsigned threads = 2;     // at least 1
  // Files above this many bytes are written piece by piece, advancing
  // progress with each piece.
  uint64_t wholeEntryLimit = kWholeEntryLimit;
  ProgressMeter* progress = nullptr;
};

// Writes the package at the output's current end (behind a stub, for a
// self-applying executable) and leaves committing to the caller. Fails for
// an unreadable file, an entry or a package past 4 GiB, or a write error.
Result<std::vector<WrittenEntry>> WritePackageStream(const std::vector<EntryToWrite>& entries,
                                                     const StreamWriterOptions& options,
                                                     AtomicOutputFile& output);

}  // namespace brxpack
