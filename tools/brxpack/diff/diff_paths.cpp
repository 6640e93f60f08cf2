#include "brxpack/diff/diff_paths.h"

#include <algorithm>

#include "brxpack/contents/display_text.h"
#include "brxpack/contents/windows1251.h"

namespace brxpack {

namespace {

// The path as the manifest writes it; fails when the package cannot hold it.
Result<std::string> ManifestPath(const std::string& relative) {
  std::string path = relative;
  std::replace(path.begin(), path.end(), '/', '\\');
  Result<std::string> ansi = Utf8ToWindows1251(path);
  if (!ansi.ok()) return Error{"'" + relative + "': " + ansi.error()};
  return path;
}

// Adds the paths to `list`, recording what the diff found at each.
Status Collect(const std::vector<std::string>& relatives, const std::string& found,
               std::vector<std::string>& list, DiffPaths& paths) {
  for (const std::string& relative : relatives) {
    Result<std::string> path = ManifestPath(relative);
    if (!path.ok()) return path.TakeError();
    paths.found.emplace(ClashKey(*path), "the diff: '" + *path + "' " + found);
    list.push_back(std::move(*path));
  }
  return Status::Ok();
}

std::vector<std::string> PathsOf(const std::vector<DiffFile>& files) {
  std::vector<std::string> paths;
  for (const DiffFile& file : files) paths.push_back(file.path);
  return paths;
}

}  // namespace

std::string TomlList(const std::vector<ListGroup>& groups) {
  std::string text = "[\n";
  for (const ListGroup& group : groups) {
    if (group.items.empty()) continue;
    if (!group.comment.empty()) text += "  # " + group.comment + "\n";
    for (size_t i = 0; i < group.items.size(); ++i) {
      const bool noted = i < group.notes.size() && !group.notes[i].empty();
      text +=
          "  " + TomlString(group.items[i]) + "," + (noted ? "  # " + group.notes[i] : "") + "\n";
    }
  }
  return text + "]";
}

Result<DiffPaths> DiffPathsOf(const ReleaseDiff& diff) {
  DiffPaths paths;
  ListGroup changed{"changed in NEW", {}, {}};
  ListGroup added{"new in NEW", {}, {}};
  Status status = Collect(PathsOf(diff.changed), "changed in NEW", changed.items, paths);
  for (const DiffFile& file : diff.changed) changed.notes.push_back(file.note);
  if (status.ok()) status = Collect(PathsOf(diff.added), "new in NEW", added.items, paths);
  if (status.ok()) {
    status = Collect(diff.newFolders, "a new folder of NEW", paths.newFolders, paths);
  }
  if (status.ok()) {
    status = Collect(PathsOf(diff.removed), "a file NEW lacks", paths.removedFiles, paths);
  }
  if (status.ok()) {
    status = Collect(diff.removedFolders, "a folder NEW lacks", paths.removedFolders, paths);
  }
  if (!status.ok()) return status.TakeError();
  paths.payload = {std::move(changed), std::move(added)};
  return paths;
}

}  // namespace brxpack
