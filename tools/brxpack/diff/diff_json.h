#pragma once
// diff --json: what the update does, as one JSON object for scripts.
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "brxpack/diff/diff_package_sizes.h"
#include "brxpack/diff/release_diff.h"

namespace brxpack {

// output: the manifest file written, or none when the manifest text goes
// into the object itself. sizes: what --stats measured, when it was given.
void PrintDiffJson(const ReleasesDiff& diff, const std::vector<std::string>& olderShown,
                   const std::optional<std::string>& output, const std::string& manifest,
                   const DiffPackageSizes* sizes, std::ostream& out);

}  // namespace brxpack
