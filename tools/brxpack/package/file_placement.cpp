#include "brxpack/package/file_placement.h"

#include <unordered_map>

#include "brxpack/contents/display_text.h"
#include "brxpack/contents/package_path.h"
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
  brx::NameTable names;
  if (!names.Build(table.range())) {
    problems.push_back("out of memory for the name table's index");
    return {};
  }
  std::vector<PlannedFile> files;
  files.reserve(candidates.size());
  std::unordered_map<std::string, const std::string*> installedBy;
  for (const FileCandidate& candidate : candidates) {
    PlannedFile file;
    file.entryName = *candidate.entry;
    // The table is encoded from whole pairs here, so no pair is cut and
    // every entry has an installed name.
    const char* installed = names.Translate(file.entryName.c_str());
    file.installedPath = installed != nullptr ? installed : file.entryName;
    file.source = candidate.source;
    file.stored = candidate.stored;
    file.size = candidate.size;
    const std::string shown = "installed path " + ShownName(file.installedPath);
    if (std::optional<std::string> problem =
            PackagePathProblem(file.installedPath, PathUse::kInstalledFile)) {
      problems.push_back(candidate.where + ": " + shown + " " + *problem);
    } else {
      auto [place, added] =
          installedBy.emplace(InstalledPathKey(file.installedPath), &candidate.where);
      if (!added) {
        problems.push_back(candidate.where + ": " + shown + " is already installed by " +
                           *place->second);
      }
    }
    files.push_back(std::move(file));
  }
  return files;
}

}  // namespace brxpack
