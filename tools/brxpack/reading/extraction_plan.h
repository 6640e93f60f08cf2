#pragma once
// Where extract writes each file entry: its installed path (through the
// package's name table) below a folder, names in UTF-8.
#include <filesystem>
#include <string>
#include <vector>

#include "brxpack/result.h"
#include "package/reader.h"

namespace brxpack {

struct ExtractionJob {
  const brx::DirectoryEntry* entry;
  std::filesystem::path target;
};

// One job per file entry, in directory order. Fails, one line per entry,
// when any installed path is one the installer must not use or two entries
// share a path (JudgeInstalledFiles, as verify judges them): then nothing
// may be written.
Result<std::vector<ExtractionJob>> PlanExtraction(const brx::Package& package,
                                                  const std::filesystem::path& folder,
                                                  const std::string& shownFile);

// Fails, one line per file, when any job's target already exists (a file,
// a folder or a link): extract replaces files only when told to.
Status RefuseExistingTargets(const std::vector<ExtractionJob>& jobs);

// The folder and every folder the jobs write into.
Status CreateFolders(const std::vector<ExtractionJob>& jobs, const std::filesystem::path& folder);

}  // namespace brxpack
