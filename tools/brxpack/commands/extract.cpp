// brxpack extract: the file entries written under their installed names
// below a folder, on several threads.
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "brxpack/commands/commands.h"
#include "brxpack/commands/exit_codes.h"
#include "brxpack/contents/display_text.h"
#include "brxpack/contents/folded_name.h"
#include "brxpack/contents/installed_path.h"
#include "brxpack/contents/section_bytes.h"
#include "brxpack/contents/windows1251.h"
#include "brxpack/host/byte_size.h"
#include "brxpack/host/host_path.h"
#include "brxpack/host/output_file.h"
#include "brxpack/host/progress_meter.h"
#include "brxpack/reading/package_file.h"
#include "package/entry_lookup.h"
#include "package/name_translation.h"
#include "package/section_names.h"

namespace brxpack {

namespace {

struct Job {
  const brx::DirectoryEntry* entry;
  std::filesystem::path target;
};

struct Outcome {
  bool damaged = false;
  std::string error;  // a message for the console, empty on success
};

// Where every file entry goes. Fails, naming each, when an installed path
// would leave the folder: then nothing at all is written.
Result<std::vector<Job>> PlanJobs(const brx::Package& package, const std::filesystem::path& folder,
                                  const std::string& shownFile) {
  const brx::SectionBlock nameTable = brx::LoadSection(package, brx::kNameTableSection);
  const brx::MemoryRange table = nameTable.loaded() ? nameTable.bytes() : brx::MemoryRange{};
  std::vector<Job> jobs;
  std::map<std::string, size_t> byPath;  // later entries of one path replace earlier ones
  std::string refusals;
  for (uint32_t i = 0; i < package.entryCount(); ++i) {
    const brx::DirectoryEntry& entry = package.directory[i];
    if (entry.IsSection()) continue;
    const std::string installed = brx::InstalledName(table, entry.name);
    std::optional<std::string> problem = EscapeProblem(installed);
    const std::vector<std::string> components = PathComponents(installed);
    if (!problem && components.empty()) problem = "names no file";
    if (problem) {
      // Appended piece by piece: GCC 12 at -O3 misreads this + chain (see
      // Enclosed in display_text.cpp).
      refusals.append("brxpack: ").append(shownFile).append(": entry ");
      refusals.append(QuotedForDisplay(entry.name)).append(" installed as ");
      refusals.append(QuotedForDisplay(installed)).append(" ").append(*problem).append("\n");
      continue;
    }
    std::filesystem::path target = folder;
    for (const std::string& component : components) {
      target /= PathFromUtf8(Windows1251ToUtf8(component));
    }
    auto [place, added] = byPath.emplace(FoldedName(Utf8FromPath(target)), jobs.size());
    if (added) {
      jobs.push_back({&entry, target});
    } else {
      jobs[place->second].entry = &entry;
    }
  }
  if (!refusals.empty()) return Error{refusals + "brxpack: nothing extracted"};
  return jobs;
}

class ParallelExtractor {
 public:
  ParallelExtractor(const brx::Package& package, const std::vector<Job>& jobs)
      : package_(package), jobs_(jobs), outcomes_(jobs.size()) {}

  const std::vector<Outcome>& Run(unsigned threads, ProgressMeter& progress) {
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < (threads == 0 ? 1 : threads); ++i) {
      workers.emplace_back([this] { Work(); });
    }
    uint64_t reported = 0;
    for (;;) {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return finished_ == jobs_.size() || doneBytes_ != reported; });
      const uint64_t done = doneBytes_;
      const bool all = finished_ == jobs_.size();
      lock.unlock();
      progress.Advance(done - reported);
      reported = done;
      if (all) break;
    }
    for (std::thread& worker : workers) worker.join();
    return outcomes_;
  }

 private:
  void Work() {
    std::vector<uint8_t> buffer;
    for (;;) {
      const size_t index = next_.fetch_add(1);
      if (index >= jobs_.size()) return;
      outcomes_[index] = Extract(jobs_[index], buffer);
      std::lock_guard<std::mutex> lock(mutex_);
      doneBytes_ += jobs_[index].entry->size;
      ++finished_;
      changed_.notify_all();
    }
  }

  Outcome Extract(const Job& job, std::vector<uint8_t>& buffer) {
    const brx::DirectoryEntry& entry = *job.entry;
    const uint8_t* bytes = package_.StoredBytes(entry).data;
    if (entry.IsCompressed()) {
      try {
        buffer.resize(entry.size);
      } catch (const std::bad_alloc&) {
        return {false, Utf8FromPath(job.target) + ": out of memory"};
      }
      if (!brx::ExtractEntry(package_, entry, buffer.data())) {
        return {true, "entry " + QuotedForDisplay(entry.name) +
                          " is damaged (its stream does not give its size with a good "
                          "Adler-32); not written"};
      }
      bytes = buffer.data();
    }
    Result<AtomicOutputFile> output = AtomicOutputFile::Create(job.target);
    if (!output.ok()) return {false, output.error()};
    Status status = output->Write(bytes, entry.size);
    if (status.ok()) status = output->Commit();
    if (!status.ok()) return {false, status.error()};
    return {};
  }

  const brx::Package& package_;
  const std::vector<Job>& jobs_;
  std::vector<Outcome> outcomes_;
  std::atomic<size_t> next_{0};
  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t doneBytes_ = 0;
  size_t finished_ = 0;
};

Status CreateFolders(const std::vector<Job>& jobs, const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) return Error{Utf8FromPath(folder) + ": cannot create: " + SystemErrorText(error)};
  std::filesystem::path last;
  for (const Job& job : jobs) {
    const std::filesystem::path parent = job.target.parent_path();
    if (parent == last) continue;
    std::filesystem::create_directories(parent, error);
    if (error) return Error{Utf8FromPath(parent) + ": cannot create: " + SystemErrorText(error)};
    last = parent;
  }
  return Status::Ok();
}

}  // namespace

int RunExtract(const ExtractOptions& options, Console& console) {
  Result<OpenedPackage> opened = OpenPackageForReading(PathFromUtf8(options.file));
  if (!opened.ok()) {
    console.err << "brxpack: " << opened.error() << "\n";
    return kExitBadInput;
  }
  const std::filesystem::path folder = PathFromUtf8(options.folder);
  Result<std::vector<Job>> jobs = PlanJobs(opened->package(), folder, opened->file.shown);
  if (!jobs.ok()) {
    console.err << jobs.error() << "\n";
    return kExitBadInput;
  }
  const Status folders = CreateFolders(*jobs, folder);
  if (!folders.ok()) {
    console.err << "brxpack: " << folders.error() << "\n";
    return kExitBadInput;
  }
  uint64_t total = 0;
  for (const Job& job : *jobs) total += job.entry->size;
  ProgressMeter progress(console.err, console.errIsTerminal, "extracting", total);
  ParallelExtractor extractor(opened->package(), *jobs);
  const std::vector<Outcome>& outcomes = extractor.Run(options.threads, progress);
  progress.Finish();

  int exitCode = kExitOk;
  size_t written = 0;
  for (const Outcome& outcome : outcomes) {
    if (outcome.error.empty()) {
      ++written;
      continue;
    }
    console.err << "brxpack: " << opened->file.shown << ": " << outcome.error << "\n";
    if (outcome.damaged && exitCode == kExitOk) exitCode = kExitDamaged;
    if (!outcome.damaged) exitCode = kExitBadInput;
  }
  console.out << "brxpack: extracted " << written << " of " << jobs->size() << " files ("
              << ReadableSize(total) << ") to " << options.folder << "\n";
  return exitCode;
}

}  // namespace brxpack
