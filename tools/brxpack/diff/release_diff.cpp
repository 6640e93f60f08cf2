#include "brxpack/diff/release_diff.h"

#include <algorithm>
#include <span>
#include <unordered_map>
#include <unordered_set>

#include "brxpack/contents/windows1251.h"
#include "brxpack/host/host_file_io.h"

namespace brxpack {

namespace {

using FoldedSet = std::unordered_set<std::string>;
using FoldedNames = std::unordered_map<std::string, const std::string*>;  // folded -> as spelt

// An old release by folded path, so that each lookup is one hash probe.
struct IndexedRelease {
  const OldRelease* release;
  std::unordered_map<std::string, const PayloadFile*> files;
  FoldedNames folders;
};

// The last name of a release path ("a/b.txt" gives "b.txt").
std::string LastName(const std::string& path) {
  return path.substr(path.find_last_of('/') + 1);
}

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

bool SomeReleaseLacks(std::span<const IndexedRelease> releases, const std::string& key) {
  return std::any_of(releases.begin(), releases.end(), [&](const IndexedRelease& release) {
    return release.folders.count(key) == 0;
  });
}

void PlanNewFolders(std::span<const IndexedRelease> releases, const PayloadTree& newer,
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

void NoteRenamedFolders(std::span<const IndexedRelease> releases, const PayloadTree& newer,
                        ReleaseDiff& diff) {
  for (const IndexedRelease& release : releases) {
    for (const std::string& folder : newer.folders) {
      const auto old = release.folders.find(FoldedName(folder));
      if (old == release.folders.end() || LastName(*old->second) == LastName(folder)) continue;
      diff.notes.push_back("folder '" + *old->second + "'" +
                           (releases.size() == 1 ? "" : " of " + release.release->name) + " is '" +
                           folder +
                           "' in NEW: the installer cannot rename a folder, so it keeps its "
                           "name; simulate --expect compares folders as Windows does");
    }
  }
}

// Fills diff's removed, removedFolders and newFolders, and its notes on
// folders whose case changed, from diff's changed and added files (which
// create their folders) and the releases it serves. Paths whose kinds
// differ between a release and NEW are the caller's to refuse.
void PlanRemovalsAndFolders(std::span<const IndexedRelease> releases, const PayloadTree& newer,
                            const FoldedSet& newFiles, const FoldedSet& newFolders,
                            ReleaseDiff& diff) {
  PlanNewFolders(releases, newer, diff);
  NoteRenamedFolders(releases, newer, diff);
  FoldedSet removedFolders;
  for (const IndexedRelease& release : releases) {
    for (const std::string& folder : release.release->tree->folders) {
      const std::string key = FoldedName(folder);
      if (newFolders.count(key) == 0 && removedFolders.insert(key).second) {
        diff.removedFolders.push_back(folder);
      }
    }
  }
  std::stable_sort(diff.removedFolders.begin(), diff.removedFolders.end(),
                   [](const std::string& a, const std::string& b) { return Depth(a) > Depth(b); });
  FoldedSet removedFiles;
  for (const IndexedRelease& release : releases) {
    for (const PayloadFile& file : release.release->tree->files) {
      const std::string key = FoldedName(file.relative);
      if (newFiles.count(key) == 0 && removedFolders.count(key) == 0 &&
          removedFiles.insert(key).second) {
        diff.removed.push_back({file.relative, file.size, ""});
      }
    }
  }
}

// What one old release needs of one file of NEW.
enum class Need { kNothing, kMissing, kContents, kCase };

constexpr char kCaseNote[] = "only its name's case";

Error KindChange(const std::string& path, const char* older, const std::string& release,
                 const char* newer) {
  return Error{"'" + path + "' is a " + older + " in " + release + " and a " + newer +
               " in NEW: the installer cannot turn one into the other"};
}

// Refuses a path whose kind differs between an old release and NEW.
Status CheckKinds(const std::vector<IndexedRelease>& releases, const PayloadTree& newer,
                  const FoldedSet& newFiles, const FoldedSet& newFolders) {
  for (const IndexedRelease& release : releases) {
    for (const PayloadFile& file : newer.files) {
      if (release.folders.count(FoldedName(file.relative)) != 0) {
        return KindChange(file.relative, "folder", release.release->name, "file");
      }
    }
    for (const PayloadFile& file : release.release->tree->files) {
      const std::string key = FoldedName(file.relative);
      if (newFiles.count(key) == 0 && newFolders.count(key) != 0) {
        return KindChange(file.relative, "file", release.release->name, "folder");
      }
    }
  }
  return Status::Ok();
}

// What each release needs of `file`: one read of it and of each same-sized
// file of its name in the old releases, side by side.
Result<std::vector<Need>> NeedsOf(const PayloadFile& file,
                                  const std::vector<IndexedRelease>& releases) {
  const std::string key = FoldedName(file.relative);
  std::vector<const PayloadFile*> found;
  std::vector<SizedFile> candidates;
  for (const IndexedRelease& release : releases) {
    const auto old = release.files.find(key);
    found.push_back(old == release.files.end() ? nullptr : old->second);
    if (found.back() != nullptr) candidates.push_back({found.back()->path, found.back()->size});
  }
  Result<std::vector<bool>> same = SameContentsAsEach({file.path, file.size}, candidates);
  if (!same.ok()) return same.TakeError();
  std::vector<Need> needs;
  size_t candidate = 0;
  for (const PayloadFile* old : found) {
    // A new case is only taken by writing the file anew under its new name.
    needs.push_back(old == nullptr                                       ? Need::kMissing
                    : !(*same)[candidate++]                              ? Need::kContents
                    : LastName(old->relative) == LastName(file.relative) ? Need::kNothing
                                                                         : Need::kCase);
  }
  return needs;
}

// Why the update takes a file some releases already have: which need it, and how.
std::string NoteOfNeeds(const std::vector<Need>& needs,
                        const std::vector<IndexedRelease>& releases) {
  if (releases.size() == 1) return needs.front() == Need::kCase ? kCaseNote : "";
  std::string note;
  for (const auto& [need, words] :
       {std::pair{Need::kContents, "differs in "}, std::pair{Need::kMissing, "missing from "},
        std::pair{Need::kCase, "only its name's case in "}}) {
    std::string names;
    for (size_t i = 0; i < needs.size(); ++i) {
      if (needs[i] == need) names += (names.empty() ? "" : ", ") + releases[i].release->name;
    }
    if (!names.empty()) note += (note.empty() ? "" : "; ") + std::string(words) + names;
  }
  return note;
}

void Count(DiffTally& tally, uint64_t bytes) {
  ++tally.files;
  tally.bytes += bytes;
}

}  // namespace

DiffTally Tally(const std::vector<DiffFile>& files) {
  DiffTally tally;
  for (const DiffFile& file : files) Count(tally, file.size);
  return tally;
}

DiffTally Carried(const ReleaseDiff& update, const ReleaseDiff& release) {
  FoldedSet needed;
  for (const auto* files : {&release.changed, &release.added}) {
    for (const DiffFile& file : *files) needed.insert(FoldedName(file.path));
  }
  DiffTally carried;
  for (const auto* files : {&update.changed, &update.added}) {
    for (const DiffFile& file : *files) {
      if (needed.count(FoldedName(file.path)) == 0) Count(carried, file.size);
    }
  }
  return carried;
}

Result<ReleasesDiff> DiffReleases(const std::vector<OldRelease>& older, const PayloadTree& newer) {
  std::vector<IndexedRelease> releases;
  for (const OldRelease& release : older) {
    IndexedRelease& indexed = releases.emplace_back(IndexedRelease{&release, {}, {}});
    for (const PayloadFile& file : release.tree->files) {
      indexed.files.emplace(FoldedName(file.relative), &file);
    }
    for (const std::string& folder : release.tree->folders) {
      indexed.folders.emplace(FoldedName(folder), &folder);
    }
  }
  FoldedSet newFiles;
  for (const PayloadFile& file : newer.files) newFiles.insert(FoldedName(file.relative));
  FoldedSet newFolders;
  for (const std::string& folder : newer.folders) newFolders.insert(FoldedName(folder));
  Status kinds = CheckKinds(releases, newer, newFiles, newFolders);
  if (!kinds.ok()) return kinds.TakeError();

  ReleasesDiff diff;
  diff.releases.resize(releases.size());
  for (const PayloadFile& file : newer.files) {
    Result<std::vector<Need>> needs = NeedsOf(file, releases);
    if (!needs.ok()) return needs.TakeError();
    for (size_t i = 0; i < releases.size(); ++i) {
      ReleaseDiff& alone = diff.releases[i];
      const Need need = (*needs)[i];
      if (need == Need::kNothing) Count(alone.unchanged, file.size);
      if (need == Need::kMissing) alone.added.push_back({file.relative, file.size, ""});
      if (need == Need::kContents) alone.changed.push_back({file.relative, file.size, ""});
      if (need == Need::kCase) alone.changed.push_back({file.relative, file.size, kCaseNote});
    }
    const auto all = [&](Need need) {
      return std::all_of(needs->begin(), needs->end(), [need](Need each) { return each == need; });
    };
    if (all(Need::kNothing)) {
      Count(diff.update.unchanged, file.size);
      continue;
    }
    if (all(Need::kMissing)) {
      diff.update.added.push_back({file.relative, file.size, ""});
    } else {
      diff.update.changed.push_back({file.relative, file.size, NoteOfNeeds(*needs, releases)});
    }
  }

  for (size_t i = 0; i < releases.size(); ++i) {
    PlanRemovalsAndFolders({&releases[i], 1}, newer, newFiles, newFolders, diff.releases[i]);
  }
  PlanRemovalsAndFolders(releases, newer, newFiles, newFolders, diff.update);
  return diff;
}

}  // namespace brxpack
