#pragma once
// Writes a package straight to its output file: entries are compressed on
// several threads, and written in their given order as each is ready, so
// the output is the same whatever the number of threads, and memory holds
// only the few entries in flight. Every entry and the directory are zlib
// streams; what compression would not make smaller is kept in stored
// blocks, still under the stream's checksum. A package digest over every
// entry's record and stored bytes follows the entries (package_digest.h).
#include <cstdint>
#include <vector>

#include "brxpack/package/entry_preparation.h"
#include "brxpack/host/output_file.h"
#include "brxpack/host/progress_meter.h"
#include "brxpack/result.h"

namespace brxpack {

// What the build's summary counts.
struct WrittenEntry {
  uint32_t size = 0;
  bool compressed = false;  // shrank, rather than kept in stored blocks
};

struct StreamWriterOptions {
  Compression compression;       // for entries and the directory
  unsigned threads = 2;          // at least 1
  ProgressMeter* progress = nullptr;
};

// Writes the package at the output's current end (behind a stub, for a
// self-applying executable) and leaves committing to the caller. Fails for
// an unreadable file, an entry or a package past 4 GiB, or a write error.
Result<std::vector<WrittenEntry>> WritePackageStream(const std::vector<EntryToWrite>& entries,
                                                     const StreamWriterOptions& options,
                                                     AtomicOutputFile& output);

}  // namespace brxpack
