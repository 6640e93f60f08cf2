#pragma once
// diff --stats: what the update changes, in each old release when there are
// several, and what its package weighs, written by build's own writer.
#include <filesystem>
#include <ostream>
#include <string>

#include "brxpack/diff/diff_manifest.h"
#include "brxpack/diff/diff_package_sizes.h"
#include "brxpack/diff/release_diff.h"
#include "brxpack/host/console.h"
#include "brxpack/result.h"

namespace brxpack {

// Writes the update's package (from its manifest `text`, composed from
// `request`), with several old releases an update from each alone
// (composed from `request` for comparison), and a full package of NEW, and
// gives their sizes; draws progress on a terminal unless -q.
Result<DiffPackageSizes> MeasureDiffPackages(const ReleasesDiff& diff,
                                             const DiffManifestRequest& request,
                                             const std::string& text,
                                             const std::filesystem::path& manifestPath,
                                             unsigned threads, Console& console);

// The figures as text: what the update changes in each old release and
// what the packages weigh.
void PrintDiffStats(const ReleasesDiff& diff, const DiffManifestRequest& request,
                    const DiffPackageSizes& sizes, std::ostream& out);

}  // namespace brxpack
