#pragma once
// The directory of a package that the installer's reader refused, loaded by
// the reader's own first half (LoadPackageDirectory) without checking any
// entry, so that verify can name every damaged entry. Only what must be
// sound to read entries at all is required: a trailer (or a package file),
// the header's magic and a readable directory.
#include <cstdint>
#include <optional>
#include <vector>

#include "brxpack/reading/package_file.h"
#include "package/format.h"

namespace brxpack {

struct WalkedPackage {
  brx::Package package;  // bytes, start, end and header filled; directory points into entries
  std::vector<brx::DirectoryEntry> entries;
};

// Nothing when not even the directory can be read. The result must not be
// copied while in use (package.directory points into entries).
std::optional<WalkedPackage> WalkPackage(const PackageFile& file);

}  // namespace brxpack
