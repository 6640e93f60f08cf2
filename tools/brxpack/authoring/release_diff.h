#pragma once
// What an update must do to turn one release of a program into the next,
// from the two release folders as Windows sees them: paths compared with
// the letters A to Z folded, contents byte for byte.
#include <cstdint>
#include <string>
#include <vector>

#include "brxpack/authoring/payload_folder.h"
#include "brxpack/result.h"

namespace brxpack {

struct DiffFile {
  std::string path;  // relative, UTF-8, names joined by "/": NEW's spelling, OLD's for removals
  uint64_t size = 0;
  bool caseOnly = false;  // a changed file whose name changed only in case
};

struct DiffTally {
  uint64_t files = 0;
  uint64_t bytes = 0;
};

struct ReleaseDiff {
  std::vector<DiffFile> changed;  // in NEW's order; installed again
  std::vector<DiffFile> added;
  std::vector<DiffFile> removed;            // files of OLD that NEW lacks
  std::vector<std::string> removedFolders;  // folders of OLD that NEW lacks, deepest first
  // Folders of NEW that OLD lacks and no installed file creates in time
  // (before the files), with their new parents; parents first.
  std::vector<std::string> newFolders;
  DiffTally unchanged;
  std::vector<std::string> notes;  // what the update cannot do as NEW shows it
};

// Fails for a path that is a file in one release and a folder in the other
// (the installer cannot turn one into the other), and for a file that
// cannot be read. Each file is read at most once.
Result<ReleaseDiff> DiffReleases(const PayloadTree& older, const PayloadTree& newer);

DiffTally Tally(const std::vector<DiffFile>& files);

}  // namespace brxpack
