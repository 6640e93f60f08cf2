#pragma once
// How large a manifest's package comes out, written exactly as build writes
// it (the same plan, writer and level) into a file that is then dropped.
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>

#include "brxpack/manifest/manifest.h"
#include "brxpack/result.h"

namespace brxpack {

// Where measuring draws its progress: a terminal, and what the line calls
// the work ("measuring the update").
struct SizeProgress {
  std::ostream* terminal = nullptr;  // none: no progress
  std::string what;
};

// scratch: a folder for the dropped file.
Result<uint64_t> PackageSize(const Manifest& manifest, int level, unsigned threads,
                             const std::filesystem::path& scratch,
                             const SizeProgress& progress = {});

}  // namespace brxpack
