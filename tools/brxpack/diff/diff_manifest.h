#pragma once
// The manifest of an update made from releases: the new release's folder
// as the payload with only the files an old release needs, the folders to
// create, and the files and folders to remove, on a base manifest when
// there is one.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "brxpack/diff/release_diff.h"
#include "brxpack/result.h"

namespace brxpack {

struct DiffManifestRequest {
  const ReleaseDiff* diff = nullptr;
  std::vector<std::string> olderShown;  // the releases as the publisher named them
  std::string newerShown;
  std::string manifestShown;             // the manifest's own name, for the commands it gives
  std::filesystem::path newer;           // the new release's folder
  std::filesystem::path manifestFolder;  // where relative paths in the manifest start
  std::optional<std::filesystem::path> base;
  // The payload rules the diff was made with, repeated for build.
  std::vector<std::string> exclude;
  std::vector<std::string> include;
  bool symlinks = false;
};

// "2 changed, 1 new, 3 removed files; 1 folder to create, 0 to remove".
std::string DiffSummary(const ReleaseDiff& diff);

// Fails for a path the package cannot hold and for a base that is no
// manifest, has a [payload] or names a path the diff found.
Result<std::string> ComposeDiffManifest(const DiffManifestRequest& request);

}  // namespace brxpack
