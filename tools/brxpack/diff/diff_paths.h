#pragma once
// The paths a diff of two releases puts into a manifest, as the manifest
// writes them (UTF-8, backslashes between names), in the lists they go to.
#include <string>
#include <vector>

#include "brxpack/diff/release_diff.h"
#include "brxpack/manifest/manifest_base.h"
#include "brxpack/result.h"

namespace brxpack {

// Items of a TOML list under a comment line; a note ends an item's line.
struct ListGroup {
  std::string comment;
  std::vector<std::string> items;
  std::vector<std::string> notes;  // empty, or one per item ("" for none)
};

// "[\n  # comment\n  'a',\n]": one item a line, so a long list stays reviewable.
std::string TomlList(const std::vector<ListGroup>& groups);

struct DiffPaths {
  std::vector<ListGroup> payload;  // [payload] only: changed, then new files
  std::vector<std::string> newFolders;
  std::vector<std::string> removedFiles;
  std::vector<std::string> removedFolders;
  // What the diff found at each path: for naming both sides of a clash with a base.
  TakenPaths found;
};

// Fails, naming the file, for a path without a Windows-1251 form.
Result<DiffPaths> DiffPathsOf(const ReleaseDiff& diff);

}  // namespace brxpack
