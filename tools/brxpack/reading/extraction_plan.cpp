#include "brxpack/reading/extraction_plan.h"

#include <system_error>

#include "brxpack/contents/display_text.h"
#include "brxpack/contents/package_path.h"
#include "brxpack/contents/windows1251.h"
#include "brxpack/host/host_path.h"
#include "brxpack/reading/installed_files.h"

namespace brxpack {

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

}  // namespace brxpack
