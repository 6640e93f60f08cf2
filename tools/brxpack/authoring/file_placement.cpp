#include "brxpack/authoring/file_placement.h"

#include <map>
#include <optional>

#include "brxpack/contents/display_text.h"
#include "brxpack/contents/folded_name.h"
#include "brxpack/contents/installed_path.h"
#include "brxpack/contents/section_bytes.h"
#include "package/entry_names.h"
#include "package/name_translation.h"
#include "package/section_names.h"

namespace brxpack {

std::vector<PlannedFile> PlaceFiles(const std::vector<FileCandidate>& candidates,
                                    const std::vector<SectionEntry>& sections,
                                    std::vector<std::string>& problems) {
  SectionBytes table;
  for (const SectionEntry& section : sections) {
    if (brx::EntryNamesEqual(section.name.c_str(), brx::kNameTableSection)) {
      table = SectionBytes(section.payload);
      break;
    }
  }
  std::vector<PlannedFile> files;
  std::map<std::string, std::string> installedBy;
  for (const FileCandidate& candidate : candidates) {
    PlannedFile file;
    file.entryName = *candidate.entry;
    file.installedPath = brx::InstalledName(table.range(), file.entryName.c_str());
    file.source = candidate.source;
    file.stored = candidate.stored;
    file.size = candidate.size;
    if (std::optional<std::string> problem = InstalledPathProblem(file.installedPath)) {
      problems.push_back(candidate.where + ": installed path " + ShownName(file.installedPath) +
                         " " + *problem);
    }
    auto [place, added] = installedBy.emplace(FoldedName(file.installedPath), candidate.where);
    if (!added) {
      problems.push_back(candidate.where + ": installed path " + ShownName(file.installedPath) +
                         " is already installed by " + place->second);
    }
    files.push_back(std::move(file));
  }
  return files;
}

}  // namespace brxpack
