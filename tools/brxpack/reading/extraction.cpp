#include "brxpack/reading/extraction.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "brxpack/contents/display_text.h"
#include "brxpack/contents/package_path.h"
#include "brxpack/contents/windows1251.h"
#include "brxpack/host/host_path.h"
#include "brxpack/host/output_file.h"
#include "brxpack/reading/installed_files.h"
#include "package/entry_lookup.h"

namespace brxpack {

namespace {

class ParallelExtractor {
 public:
  ParallelExtractor(const brx::Package& package, const std::vector<ExtractionJob>& jobs)
      : package_(package), jobs_(jobs), outcomes_(jobs.size()) {}

  std::vector<ExtractionOutcome> Run(unsigned threads, ProgressMeter& progress) {
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
    return std::move(outcomes_);
  }

 private:
  void Work() {
    std::vector<uint8_t> buffer;
    for (;;) {
      const size_t index = next_.fetch_add(1);
      if (index >= jobs_.size()) return;
      if (!stopped_.load()) {
        outcomes_[index] = Extract(jobs_[index], buffer);
        if (!outcomes_[index].written && !outcomes_[index].damaged) stopped_.store(true);
      }
      std::lock_guard<std::mutex> lock(mutex_);
      if (outcomes_[index].written) doneBytes_ += jobs_[index].entry->size;
      ++finished_;
      changed_.notify_all();
    }
  }

  ExtractionOutcome Extract(const ExtractionJob& job, std::vector<uint8_t>& buffer) {
    const brx::DirectoryEntry& entry = *job.entry;
    const uint8_t* bytes = package_.StoredBytes(entry).data;
    if (entry.IsCompressed()) {
      try {
        buffer.resize(entry.size);
      } catch (const std::bad_alloc&) {
        return {false, false, Utf8FromPath(job.target) + ": out of memory"};
      }
      if (!brx::ExtractEntry(package_, entry, buffer.data())) {
        return {false, true,
                "entry " + QuotedPath(entry.name) +
                    " is damaged (its stream does not give its size with a good "
                    "Adler-32); not written"};
      }
      bytes = buffer.data();
    }
    Result<AtomicOutputFile> output = AtomicOutputFile::Create(job.target);
    if (!output.ok()) return {false, false, output.error()};
    Status status = output->Write(bytes, entry.size);
    if (status.ok()) status = output->Commit();
    if (!status.ok()) return {false, false, status.error()};
    return {true, false, {}};
  }

  const brx::Package& package_;
  const std::vector<ExtractionJob>& jobs_;
  std::vector<ExtractionOutcome> outcomes_;
  std::atomic<size_t> next_{0};
  std::atomic<bool> stopped_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t doneBytes_ = 0;
  size_t finished_ = 0;
};

}  // namespace

Result<std::vector<ExtractionJob>> PlanExtraction(const brx::Package& package,
                                                  const std::filesystem::path& folder,
                                                  const std::string& shownFile) {
  std::vector<ExtractionJob> jobs;
  std::string refusals;
  for (const InstalledFile& file : JudgeInstalledFiles(package)) {
    const brx::DirectoryEntry& entry = package.directory[file.index];
    if (file.problem) {
      // Appended piece by piece: GCC 12 at -O3 misreads this + chain (see
      // Enclosed in display_text.cpp).
      refusals.append(shownFile).append(": entry ").append(QuotedPath(entry.name));
      refusals.append(": ").append(*file.problem).append("\n");
      continue;
    }
    std::filesystem::path target = folder;
    for (const std::string& component : PathComponents(file.installed)) {
      target /= PathFromUtf8(Windows1251ToUtf8(component));
    }
    jobs.push_back({&entry, target});
  }
  if (!refusals.empty()) return Error{refusals + "nothing extracted"};
  return jobs;
}

Status RefuseExistingTargets(const std::vector<ExtractionJob>& jobs) {
  std::string refusals;
  for (const ExtractionJob& job : jobs) {
    std::error_code error;
    // symlink_status: a dangling link is still a name the rename would replace.
    const std::filesystem::file_status status = std::filesystem::symlink_status(job.target, error);
    if (!std::filesystem::exists(status)) continue;
    refusals.append(Utf8FromPath(job.target)).append(": exists\n");
  }
  if (refusals.empty()) return Status::Ok();
  return Error{refusals + "nothing extracted; --force replaces existing files"};
}

Status CreateFolders(const std::vector<ExtractionJob>& jobs, const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) return Error{Utf8FromPath(folder) + ": cannot create: " + SystemErrorText(error)};
  std::filesystem::path last;
  for (const ExtractionJob& job : jobs) {
    const std::filesystem::path parent = job.target.parent_path();
    if (parent == last) continue;
    std::filesystem::create_directories(parent, error);
    if (error) return Error{Utf8FromPath(parent) + ": cannot create: " + SystemErrorText(error)};
    last = parent;
  }
  return Status::Ok();
}

std::vector<ExtractionOutcome> ExtractInParallel(const brx::Package& package,
                                                 const std::vector<ExtractionJob>& jobs,
                                                 unsigned threads, ProgressMeter& progress) {
  return ParallelExtractor(package, jobs).Run(threads, progress);
}

}  // namespace brxpack
