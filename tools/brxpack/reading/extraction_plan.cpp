#include "brxpack/reading/extraction_plan.h"

#include <map>
#include <optional>
#include <system_error>

#include "brxpack/contents/display_text.h"
#include "brxpack/contents/folded_name.h"
#include "brxpack/contents/installed_path.h"
#include "brxpack/contents/windows1251.h"
#include "brxpack/host/host_path.h"
#include "package/entry_lookup.h"
#include "package/name_translation.h"
#include "package/section_names.h"

namespace brxpack {

Result<std::vector<ExtractionJob>> PlanExtraction(const brx::Package& package,
                                                  const std::filesystem::path& folder,
                                                  const std::string& shownFile) {
  const brx::SectionBlock nameTable = brx::LoadSection(package, brx::kNameTableSection);
  const brx::MemoryRange table = nameTable.loaded() ? nameTable.bytes() : brx::MemoryRange{};
  std::vector<ExtractionJob> jobs;
  std::map<std::string, size_t> byPath;
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
      refusals.append(shownFile).append(": entry ");
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
  if (!refusals.empty()) return Error{refusals + "nothing extracted"};
  return jobs;
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
