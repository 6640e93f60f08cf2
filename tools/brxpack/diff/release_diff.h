#pragma once
// What an update must do to turn one or several releases of a program into
// the next, from the release folders as Windows sees them: paths compared
// with the letters A to Z folded, contents byte for byte. One package serves
// every old release at once: the installer writes whole files, and removing
// a file or folder that is not there does nothing, so the update takes what
// any of them needs.
#include <cstdint>
#include <string>
#include <vector>

#include "brxpack/manifest/payload_folder.h"
#include "brxpack/result.h"

namespace brxpack {

struct DiffFile {
  std::string path;  // relative, UTF-8, names joined by "/": NEW's spelling, OLD's for removals
  uint64_t size = 0;
  std::string note;  // why the file is taken, where "changed" alone does not say it; or ""
};

struct DiffTally {
  uint64_t files = 0;
  uint64_t bytes = 0;
};

struct ReleaseDiff {
  std::vector<DiffFile> changed;  // in NEW's order; installed again
  std::vector<DiffFile> added;    // missing from every old release
  std::vector<DiffFile> removed;  // files of an old release that NEW lacks
  // Folders of an old release that NEW lacks, deepest first. A path that is
  // a file in one old release and a folder in another is listed here alone:
  // the installer deletes it as a file and removes it as a folder.
  std::vector<std::string> removedFolders;
  // Folders of NEW that an old release lacks and no installed file creates
  // in time (before the files), with their new parents; parents first.
  std::vector<std::string> newFolders;
  DiffTally unchanged;             // files of NEW that no old release needs
  std::vector<std::string> notes;  // what the update cannot do as NEW shows it
};

struct OldRelease {
  std::string name;  // as messages call it: "OLD", or the folder as the publisher named it
  const PayloadTree* tree = nullptr;
};

struct ReleasesDiff {
  ReleaseDiff update;                 // what the package does: what any old release needs
  std::vector<ReleaseDiff> releases;  // what each old release needs alone, in the order given
};

// Fails for a path that is a file in an old release and a folder in NEW, or
// the other way round (the installer cannot turn one into the other), and
// for a file that cannot be read. Each file of each release is read at most
// once; a file of NEW only when an old release holds one of its size there.
Result<ReleasesDiff> DiffReleases(const std::vector<OldRelease>& older, const PayloadTree& newer);

DiffTally Tally(const std::vector<DiffFile>& files);

// The files the update writes that `release` already holds as NEW has them.
DiffTally Carried(const ReleaseDiff& update, const ReleaseDiff& release);

}  // namespace brxpack
