#pragma once
// A publisher's base manifest merged with what a diff of two releases
// found. The base says what two folders cannot (the target's registry
// names and level, the question, commands, registry values, the brand); the
// diff says which files to install and remove. The base's text stays as
// written, comments and all: only its folder and removal lists take the
// diff's paths, and its host paths are rewritten when the merged manifest
// lies in another folder.
#include <filesystem>
#include <string>

#include "brxpack/diff/diff_paths.h"
#include "brxpack/result.h"

namespace brxpack {

struct MergedBase {
  std::string text;
  bool hasFolders = false;  // the base's [folders] holds the diff's new folders
  bool hasRemove = false;   // the base's [remove] holds the diff's removals
};

// Fails for a base that is no valid manifest, that has a [payload] (the
// diff's), or that names a path the diff also found: each clash on a line
// naming the base's field and what the diff found there.
Result<MergedBase> MergeBase(const std::filesystem::path& base,
                             const std::filesystem::path& manifestFolder, const DiffPaths& paths);

}  // namespace brxpack
