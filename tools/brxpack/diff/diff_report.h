#pragma once
// What diff says of the update besides its manifest: with --stats what it
// changes, in each old release when there are several, and what its package
// weighs, written by build's own writer; with --json all of it as one
// object for scripts.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "brxpack/diff/diff_manifest.h"
#include "brxpack/diff/release_diff.h"
#include "brxpack/host/console.h"
#include "brxpack/result.h"

namespace brxpack {

struct DiffPackageSizes {
  int level = 0;               // the level every package was written at
  bool standInTarget = false;  // no base: a stand-in [target] took its place
  uint64_t update = 0;         // the update's package
  uint64_t full = 0;           // a package of every file of NEW
  // An update from each old release alone, in their order (with one
  // release, the update itself).
  std::vector<uint64_t> alone;
};

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

// output: the manifest file written, or none when the manifest text goes
// into the object itself. sizes: what --stats measured, when it was given.
void PrintDiffJson(const ReleasesDiff& diff, const std::vector<std::string>& olderShown,
                   const std::optional<std::string>& output, const std::string& manifest,
                   const DiffPackageSizes* sizes, std::ostream& out);

}  // namespace brxpack
