#pragma once
// The part of a release diff that follows from the folders: the files and
// folders to remove, the folders to create, and what the installer cannot
// do about a folder's name, for one old release or for several together.
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "brxpack/manifest/payload_folder.h"
#include "brxpack/diff/release_diff.h"

namespace brxpack {

using FoldedSet = std::unordered_set<std::string>;
using FoldedNames = std::unordered_map<std::string, const std::string*>;  // folded -> as spelt

struct FolderView {
  const std::string* name;  // as messages call the release
  const PayloadTree* tree;
  const FoldedNames* folders;
};

// Fills diff's removed, removedFolders and newFolders, and its notes on
// folders whose case changed, from diff's changed and added files (which
// create their folders) and the releases it serves. Paths whose kinds
// differ between a release and NEW are the caller's to refuse.
void PlanRemovalsAndFolders(const std::vector<FolderView>& releases, const PayloadTree& newer,
                            const FoldedSet& newFiles, const FoldedSet& newFolders,
                            ReleaseDiff& diff);

// The last name of a release path ("a/b.txt" gives "b.txt").
std::string LastName(const std::string& path);

}  // namespace brxpack
