#pragma once
// Where a build's files are installed.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "brxpack/manifest/file_candidates.h"
#include "brxpack/package/script_sections.h"

namespace brxpack {

struct PlannedFile {
  std::string entryName;      // Windows-1251, at most 31 bytes
  std::string installedPath;  // Windows-1251, through the package's name table
  std::filesystem::path source;
  bool stored = false;
  uint64_t size = 0;
};

// The named candidates as planned files, installed where the installer will
// really put them: through the first name table among the sections, as it
// loads that. Refuses (appending a line each) an installed path that
// PackagePathProblem refuses and a second file at one path, as Windows
// compares paths.
std::vector<PlannedFile> PlaceFiles(const std::vector<FileCandidate>& candidates,
                                    const std::vector<SectionEntry>& sections,
                                    std::vector<std::string>& problems);

}  // namespace brxpack
