#pragma once
// What extract does: each file entry planned at its installed path (through
// the package's name table) below a folder, names in UTF-8, then written
// out on several threads, each file whole or not at all.
#include <filesystem>
#include <string>
#include <vector>

#include "brxpack/host/progress_meter.h"
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

struct ExtractionOutcome {
  bool written = false;  // false with no error: not started, the run had stopped
  bool damaged = false;  // the entry's stream is damaged, rather than the output failing
  std::string error;     // a message for the console, empty unless it failed
};

// One outcome per job, in the jobs' order. The first file that cannot be
// written (a full disk, a folder without write access) stops the run: no
// job starts after it, since every later file would fail the same way.
// Progress is advanced on the calling thread only.
std::vector<ExtractionOutcome> ExtractInParallel(const brx::Package& package,
                                                 const std::vector<ExtractionJob>& jobs,
                                                 unsigned threads, ProgressMeter& progress);

}  // namespace brxpack
