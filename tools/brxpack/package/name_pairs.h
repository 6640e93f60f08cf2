#pragma once
// The pairs of a build's name table: which entry is installed under which
// path, where the two differ.
#include <string>
#include <utility>
#include <vector>

#include "brxpack/manifest/file_candidates.h"

namespace brxpack {

using NamePairs = std::vector<std::pair<std::string, std::string>>;

// The [[rename]] tables' pairs first, then one for every named file whose
// entry name is not its installed path. A rename of a payload folder file
// is what moves it elsewhere; one that contradicts a [[file]]'s install,
// and one whose entry names no file of the build, are refused (appending a
// line to problems each).
NamePairs BuildNamePairs(const std::vector<NamePairItem>& renames,
                         const std::vector<FileCandidate>& candidates,
                         std::vector<std::string>& problems);

}  // namespace brxpack
