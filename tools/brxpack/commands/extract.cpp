// brxpack extract: the file entries written under their installed names
// below a folder, on several threads. Existing files are kept unless
// --force; the first file that cannot be written stops the run (exit 2).
#include <algorithm>

#include "brxpack/commands/command.h"
#include "brxpack/host/byte_size.h"
#include "brxpack/host/host_path.h"
#include "brxpack/host/progress_meter.h"
#include "brxpack/reading/extraction.h"
#include "brxpack/reading/package_file.h"

namespace brxpack {

namespace {

struct ExtractOptions {
  std::filesystem::path file;
  std::filesystem::path folder = ".";
  unsigned threads = kDefaultThreads;
  bool force = false;  // replace files that exist
};

int RunExtract(const ExtractOptions& options, Console& console) {
  Result<OpenedPackage> opened = OpenPackageForReading(options.file);
  if (!opened.ok()) return Refuse(console, opened.error());
  Result<std::vector<ExtractionJob>> jobs =
      PlanExtraction(opened->package(), options.folder, opened->file.shown);
  // Paths the installer must not use are damage, as verify reports them.
  if (!jobs.ok()) return Refuse(console, jobs.error(), kExitDamaged);
  if (!options.force) {
    const Status fresh = RefuseExistingTargets(*jobs);
    if (!fresh.ok()) return Refuse(console, fresh.error());
  }
  const Status folders = CreateFolders(*jobs, options.folder);
  if (!folders.ok()) return Refuse(console, folders.error());
  uint64_t total = 0;
  for (const ExtractionJob& job : *jobs) total += job.entry->size;
  ProgressMeter progress(ProgressOn(console, "extracting"), total);
  const std::vector<ExtractionOutcome> outcomes =
      ExtractInParallel(opened->package(), *jobs, options.threads, progress);
  progress.Finish();

  int exitCode = kExitOk;
  size_t written = 0;
  uint64_t writtenBytes = 0;
  for (size_t index = 0; index < outcomes.size(); ++index) {
    const ExtractionOutcome& outcome = outcomes[index];
    if (outcome.written) {
      ++written;
      writtenBytes += (*jobs)[index].entry->size;
      continue;
    }
    if (outcome.error.empty()) continue;  // not started: a write had failed
    console.err << "brxpack: " << opened->file.shown << ": " << outcome.error << "\n";
    exitCode = outcome.damaged ? std::max(exitCode, kExitDamaged) : kExitBadInput;
  }
  if (console.quiet) return exitCode;
  console.out << "brxpack: extracted " << written << " of "
              << Counted(jobs->size(), "file", "files") << " (" << ReadableSize(writtenBytes)
              << ") to " << Utf8FromPath(options.folder) << "\n";
  return exitCode;
}

void AddOptions(CLI::App& parser, ExtractOptions& options) {
  AddPath(parser, "FILE", options.file, "A package or a self-applying executable")->required();
  AddPath(parser, "-C,--folder", options.folder, "The folder (default: .)");
  parser.add_option("--jobs", options.threads, "Threads that extract (default 2)")
      ->check(CLI::Range(1, 64));
  parser.add_flag("--force", options.force,
                  "Replace files that exist (without it, any existing file refuses the whole "
                  "extraction before anything is written)");
}

}  // namespace

const Command kExtractCommand{
    "extract",
    "Write the file entries under their installed names below a folder; a package with an "
    "installed path the installer must not use is refused whole.",
    Define<ExtractOptions, AddOptions, RunExtract>};

}  // namespace brxpack
