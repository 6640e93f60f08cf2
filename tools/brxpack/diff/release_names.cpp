#include "brxpack/diff/release_names.h"

#include <algorithm>
#include <optional>

#include "brxpack/contents/windows1251.h"

namespace brxpack {

namespace {

// The package path of a release's relative path, or why there is none.
Result<std::string> PackagePathOf(const std::string& relative) {
  // "/" alone joins the host's names, so a backslash lies within one.
  if (relative.find('\\') != std::string::npos) {
    return Error{
        "holds '\\', which Windows refuses in names (the installer would take it for a "
        "separator)"};
  }
  Result<std::string> ansi = Utf8ToWindows1251(relative);
  if (!ansi.ok()) return ansi.TakeError();
  return WithBackslashes(std::move(*ansi));
}

std::optional<std::string> NameProblem(const std::string& relative, PathUse use) {
  Result<std::string> path = PackagePathOf(relative);
  if (!path.ok()) return path.error();
  return PackagePathProblem(*path, use);
}

bool Below(const std::string& path, const std::vector<std::string>& folders) {
  return std::any_of(folders.begin(), folders.end(), [&](const std::string& folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
  });
}

void WarnOfLength(const std::string& relative, PathUse use, const char* what,
                  std::vector<std::string>& warnings) {
  Result<std::string> path = PackagePathOf(relative);
  if (!path.ok()) return;  // refused by AddReleaseNameProblems before the diff
  if (std::optional<std::string> warning = PathLengthWarning(*path, use)) {
    warnings.push_back("'" + relative + "' (" + what + ") " + *warning);
  }
}

}  // namespace

void AddReleaseNameProblems(const PayloadTree& tree, const std::string& release, PathUse files,
                            PathUse folders, std::vector<std::string>& problems) {
  std::vector<std::string> refusedFolders;
  for (const std::string& folder : tree.folders) {
    if (Below(folder, refusedFolders)) continue;
    if (std::optional<std::string> problem = NameProblem(folder, folders)) {
      problems.push_back("'" + folder + "' in " + release + ": " + *problem);
      refusedFolders.push_back(folder);
    }
  }
  for (const PayloadFile& file : tree.files) {
    if (Below(file.relative, refusedFolders)) continue;
    if (std::optional<std::string> problem = NameProblem(file.relative, files)) {
      problems.push_back("'" + file.relative + "' in " + release + ": " + *problem);
    }
  }
}

void AddDiffLengthWarnings(const ReleaseDiff& update, std::vector<std::string>& warnings) {
  for (const auto* files : {&update.changed, &update.added}) {
    for (const DiffFile& file : *files) {
      WarnOfLength(file.path, PathUse::kInstalledFile, "installed", warnings);
    }
  }
  for (const std::string& folder : update.newFolders) {
    WarnOfLength(folder, PathUse::kFolder, "created", warnings);
  }
  for (const DiffFile& file : update.removed) {
    WarnOfLength(file.path, PathUse::kRemoval, "removed", warnings);
  }
  for (const std::string& folder : update.removedFolders) {
    WarnOfLength(folder, PathUse::kRemoval, "removed", warnings);
  }
}

}  // namespace brxpack
