#pragma once
// Entry names for the files of a build.
#include <string>
#include <vector>

#include "brxpack/manifest/file_candidates.h"

namespace brxpack {

// Gives every candidate an entry name: the one given, else its installed
// path when that fits the name field, else a generated name that no other
// entry has. Refuses (appending one line each) an entry name used twice (A
// to Z folded).
void NameEntries(std::vector<FileCandidate>& candidates, std::vector<std::string>& problems);

// An entry name for a file whose installed path is too long for the 32-byte
// name field: "~N~" and as much of the end of the file's own name as fits.
std::string GeneratedEntryName(unsigned number, const std::string& installedPath);

}  // namespace brxpack
