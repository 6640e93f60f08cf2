#include "brxpack/reading/installed_files.h"

#include <unordered_map>

#include "brxpack/contents/display_text.h"
#include "brxpack/contents/package_path.h"
#include "package/entry_lookup.h"
#include "package/name_translation.h"
#include "package/section_names.h"

namespace brxpack {

std::vector<InstalledFile> JudgeInstalledFiles(const std::vector<std::string>& names,
                                               brx::MemoryRange nameTable) {
  brx::NameTable table;
  const bool indexed = table.Build(nameTable);
  std::vector<InstalledFile> files;
  std::unordered_map<std::string, uint32_t> firstAt;  // path key -> entry index
  for (uint32_t index = 0; index < names.size(); ++index) {
    const std::string& name = names[index];
    if (!name.empty() && name[0] == ':') continue;
    InstalledFile file;
    file.index = index;
    const char* installed = indexed ? table.Translate(name.c_str()) : name.c_str();
    file.installed = installed != nullptr ? installed : "";
    const std::string shown = "installed as " + QuotedPath(file.installed);
    if (!indexed) {
      file.problem = "cannot be placed: no memory for the name table's index";
    } else if (installed == nullptr) {
      file.problem =
          "has no installed name: the pair the name table's end cuts short may name it, so "
          "the installer fails it";
    } else if (std::optional<std::string> problem =
                   PackagePathProblem(file.installed, PathUse::kInstalledFile)) {
      file.problem = shown + ", which " + *problem;
    } else {
      auto [earlier, added] = firstAt.emplace(InstalledPathKey(file.installed), index);
      if (!added) {
        file.problem = shown + ", the path of entry " + std::to_string(earlier->second + 1) +
                       "; the installer writes both and the later one wins";
      }
    }
    files.push_back(std::move(file));
  }
  return files;
}

std::vector<InstalledFile> JudgeInstalledFiles(const brx::Package& package) {
  const brx::SectionBlock nameTable = brx::LoadSection(package, brx::kNameTableSection);
  std::vector<std::string> names;
  names.reserve(package.entryCount());
  for (uint32_t i = 0; i < package.entryCount(); ++i) names.emplace_back(package.directory[i].name);
  return JudgeInstalledFiles(names, nameTable.loaded() ? nameTable.bytes() : brx::MemoryRange{});
}

}  // namespace brxpack
