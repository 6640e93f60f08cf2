#pragma once
// Where each file entry of a package is installed, and whether it can be:
// one judgement that verify reports as damage and extract refuses, so the
// two never disagree.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "package/memory_range.h"
#include "package/reader.h"

namespace brxpack {

struct InstalledFile {
  uint32_t index = 0;     // in the directory
  std::string installed;  // through the name table, Windows-1251
  // Why the installer would do harm or fail with it, worded to follow the
  // entry's label ("entry 3 \"x\": ..."); nothing when it installs cleanly.
  std::optional<std::string> problem;
};

// One result per file entry (a name not beginning with ':'), in directory
// order. `names` holds every entry's name, sections included; `nameTable`
// is the name table section's payload followed by a zero byte, or empty.
// Refused: an installed path that PackagePathProblem refuses, and a second
// entry installed at the path of an earlier one as Windows compares paths.
std::vector<InstalledFile> JudgeInstalledFiles(const std::vector<std::string>& names,
                                               brx::MemoryRange nameTable);

// The same for a package the reader accepted, through its name table.
std::vector<InstalledFile> JudgeInstalledFiles(const brx::Package& package);

}  // namespace brxpack
