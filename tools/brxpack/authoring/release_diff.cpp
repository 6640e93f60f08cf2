#include "brxpack/authoring/release_diff.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "brxpack/contents/folded_name.h"
#include "brxpack/host/same_contents.h"

namespace brxpack {

namespace {

std::string LastName(const std::string& path) {
  return path.substr(path.find_last_of('/') + 1);
}

size_t Depth(const std::string& path) {
  return static_cast<size_t>(std::count(path.begin(), path.end(), '/'));
}

// Every folder on the way to `path`, folded.
void AddFoldedParents(const std::string& path, std::unordered_set<std::string>& folders) {
  const std::string folded = FoldedName(path);
  for (size_t slash = folded.find('/'); slash != std::string::npos;
       slash = folded.find('/', slash + 1)) {
    folders.insert(folded.substr(0, slash));
  }
}

Error KindChange(const std::string& path, const char* older, const char* newer) {
  return Error{"'" + path + "' is a " + older + " in OLD and a " + newer +
               " in NEW: the installer cannot turn one into the other"};
}

}  // namespace

DiffTally Tally(const std::vector<DiffFile>& files) {
  DiffTally tally;
  for (const DiffFile& file : files) {
    ++tally.files;
    tally.bytes += file.size;
  }
  return tally;
}

Result<ReleaseDiff> DiffReleases(const PayloadTree& older, const PayloadTree& newer) {
  std::unordered_map<std::string, const PayloadFile*> oldFiles;
  for (const PayloadFile& file : older.files) oldFiles.emplace(FoldedName(file.relative), &file);
  std::unordered_map<std::string, const std::string*> oldFolders;
  for (const std::string& folder : older.folders) oldFolders.emplace(FoldedName(folder), &folder);
  std::unordered_set<std::string> newFolders;
  for (const std::string& folder : newer.folders) newFolders.insert(FoldedName(folder));

  ReleaseDiff diff;
  std::unordered_set<std::string> createdByFiles;
  for (const PayloadFile& file : newer.files) {
    const std::string key = FoldedName(file.relative);
    if (oldFolders.count(key) != 0) return KindChange(file.relative, "folder", "file");
    const auto old = oldFiles.find(key);
    if (old == oldFiles.end()) {
      diff.added.push_back({file.relative, file.size, false});
    } else {
      Result<bool> same = SameContents(old->second->path, old->second->size, file.path, file.size);
      if (!same.ok()) return same.TakeError();
      const bool sameName = LastName(old->second->relative) == LastName(file.relative);
      oldFiles.erase(old);
      if (*same && sameName) {
        ++diff.unchanged.files;
        diff.unchanged.bytes += file.size;
        continue;
      }
      // A new case is only taken by writing the file anew under its new name.
      diff.changed.push_back({file.relative, file.size, *same});
    }
    AddFoldedParents(file.relative, createdByFiles);
    if (file.size == 0) {
      diff.notes.push_back("'" + file.relative +
                           "' is empty: brxpack build refuses it (installers of the classic kind "
                           "cannot write a file of 0 bytes)");
    }
  }
  for (const PayloadFile& file : older.files) {
    const std::string key = FoldedName(file.relative);
    if (oldFiles.count(key) == 0) continue;  // matched above
    if (newFolders.count(key) != 0) return KindChange(file.relative, "file", "folder");
    diff.removed.push_back({file.relative, file.size, false});
  }

  std::unordered_set<std::string> listed;
  for (const std::string& folder : newer.folders) {
    const std::string key = FoldedName(folder);
    const auto old = oldFolders.find(key);
    if (old != oldFolders.end()) {
      if (LastName(*old->second) != LastName(folder)) {
        diff.notes.push_back("folder '" + *old->second + "' is '" + folder +
                             "' in NEW: the installer cannot rename a folder, so it keeps its "
                             "name; simulate --expect compares folders as Windows does");
      }
    } else if (createdByFiles.count(key) == 0) {
      // CreateFolders makes no parents and runs before the files: a new
      // parent is listed too, even where a file would create it later.
      listed.insert(key);
      AddFoldedParents(folder, listed);
    }
  }
  for (const std::string& folder : newer.folders) {
    const std::string key = FoldedName(folder);
    if (listed.count(key) != 0 && oldFolders.count(key) == 0) diff.newFolders.push_back(folder);
  }
  for (const std::string& folder : older.folders) {
    if (newFolders.count(FoldedName(folder)) == 0) diff.removedFolders.push_back(folder);
  }
  std::stable_sort(diff.removedFolders.begin(), diff.removedFolders.end(),
                   [](const std::string& a, const std::string& b) { return Depth(a) > Depth(b); });
  return diff;
}

}  // namespace brxpack
