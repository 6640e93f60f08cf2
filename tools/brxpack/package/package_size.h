#pragma once
// How large a manifest's package comes out, written exactly as build writes
// it (the same plan, writer and level) into a file that is then dropped.
#include <cstdint>
#include <filesystem>

#include "brxpack/manifest/manifest.h"
#include "brxpack/host/progress_meter.h"
#include "brxpack/result.h"

namespace brxpack {

// scratch: a folder for the dropped file.
Result<uint64_t> PackageSize(const Manifest& manifest, int level, unsigned threads,
                             const std::filesystem::path& scratch,
                             const ProgressTarget& progress = {});

}  // namespace brxpack
