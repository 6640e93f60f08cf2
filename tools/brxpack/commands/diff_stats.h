#pragma once
// diff --stats: what the update changes, in each old release when there are
// several, and what its package weighs, written by build's own writer.
#include <filesystem>
#include <ostream>
#include <string>

#include "brxpack/diff/diff_manifest.h"
#include "brxpack/diff/release_diff.h"
#include "brxpack/host/console.h"

namespace brxpack {

// `request` is the one the update's manifest `text` was composed from; an
// update for each old release alone is composed from it for comparison.
int PrintDiffStats(const ReleasesDiff& diff, const DiffManifestRequest& request,
                   const std::string& text, const std::filesystem::path& manifestPath,
                   unsigned threads, std::ostream& out, Console& console);

}  // namespace brxpack
