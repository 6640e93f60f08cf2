#pragma once
// The end of a streamed package: its directory behind the entries, and its
// header, known only now, over the placeholder at the package's start.
#include <cstdint>
#include <vector>

#include "brxpack/package/zlib_compressor.h"
#include "brxpack/host/output_file.h"
#include "brxpack/result.h"

namespace brxpack {

// `directory` holds the encoded entries; it is written as a zlib stream,
// compressed when that makes it smaller, else in stored blocks. `directoryOffset`
// counts from the package's start, which is at `packageStart` in the output. Fails when the package
// would pass 4 GiB, or on a write error.
Status WriteDirectoryAndHeader(const std::vector<uint8_t>& directory, uint32_t entryCount,
                               uint64_t directoryOffset, uint64_t packageStart,
                               Compression compression, AtomicOutputFile& output);

}  // namespace brxpack
