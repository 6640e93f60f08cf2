#include "brxpack/diff/diff_folders.h"

#include <algorithm>

#include "brxpack/contents/folded_name.h"

namespace brxpack {

std::string LastName(const std::string& path) {
  return path.substr(path.find_last_of('/') + 1);
}

namespace {

size_t Depth(const std::string& path) {
  return static_cast<size_t>(std::count(path.begin(), path.end(), '/'));
}

// Every folder on the way to `path`, folded.
void AddFoldedParents(const std::string& path, FoldedSet& folders) {
  const std::string folded = FoldedName(path);
  for (size_t slash = folded.find('/'); slash != std::string::npos;
       slash = folded.find('/', slash + 1)) {
    folders.insert(folded.substr(0, slash));
  }
}

bool SomeReleaseLacks(const std::vector<FolderView>& releases, const std::string& key) {
  return std::any_of(releases.begin(), releases.end(),
                     [&](const FolderView& release) { return release.folders->count(key) == 0; });
}

void PlanNewFolders(const std::vector<FolderView>& releases, const PayloadTree& newer,
                    ReleaseDiff& diff) {
  FoldedSet createdByFiles;
  for (const auto* files : {&diff.changed, &diff.added}) {
    for (const DiffFile& file : *files) AddFoldedParents(file.path, createdByFiles);
  }
  FoldedSet listed;
  for (const std::string& folder : newer.folders) {
    const std::string key = FoldedName(folder);
    if (SomeReleaseLacks(releases, key) && createdByFiles.count(key) == 0) {
      // CreateFolders makes no parents and runs before the files: a new
      // parent is listed too, even where a file would create it later.
      listed.insert(key);
      AddFoldedParents(folder, listed);
    }
  }
  for (const std::string& folder : newer.folders) {
    const std::string key = FoldedName(folder);
    if (listed.count(key) != 0 && SomeReleaseLacks(releases, key)) {
      diff.newFolders.push_back(folder);
    }
  }
}

void NoteRenamedFolders(const std::vector<FolderView>& releases, const PayloadTree& newer,
                        ReleaseDiff& diff) {
  for (const FolderView& release : releases) {
    for (const std::string& folder : newer.folders) {
      const auto old = release.folders->find(FoldedName(folder));
      if (old == release.folders->end() || LastName(*old->second) == LastName(folder)) continue;
      diff.notes.push_back("folder '" + *old->second + "'" +
                           (releases.size() == 1 ? "" : " of " + *release.name) + " is '" + folder +
                           "' in NEW: the installer cannot rename a folder, so it keeps its "
                           "name; simulate --expect compares folders as Windows does");
    }
  }
}

}  // namespace

void PlanRemovalsAndFolders(const std::vector<FolderView>& releases, const PayloadTree& newer,
                            const FoldedSet& newFiles, const FoldedSet& newFolders,
                            ReleaseDiff& diff) {
  PlanNewFolders(releases, newer, diff);
  NoteRenamedFolders(releases, newer, diff);
  FoldedSet removedFolders;
  for (const FolderView& release : releases) {
    for (const std::string& folder : release.tree->folders) {
      const std::string key = FoldedName(folder);
      if (newFolders.count(key) == 0 && removedFolders.insert(key).second) {
        diff.removedFolders.push_back(folder);
      }
    }
  }
  std::stable_sort(diff.removedFolders.begin(), diff.removedFolders.end(),
                   [](const std::string& a, const std::string& b) { return Depth(a) > Depth(b); });
  FoldedSet removedFiles;
  for (const FolderView& release : releases) {
    for (const PayloadFile& file : release.tree->files) {
      const std::string key = FoldedName(file.relative);
      if (newFiles.count(key) == 0 && removedFolders.count(key) == 0 &&
          removedFiles.insert(key).second) {
        diff.removed.push_back({file.relative, file.size, ""});
      }
    }
  }
}

}  // namespace brxpack
