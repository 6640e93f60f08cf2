#include "brxpack/diff/diff_manifest.h"

#include <tuple>

#include "brxpack/contents/display_text.h"
#include "brxpack/contents/package_path.h"
#include "brxpack/contents/windows1251.h"
#include "brxpack/host/byte_size.h"
#include "brxpack/host/host_path.h"
#include "brxpack/manifest/manifest_base.h"
#include "brxpack/manifest/manifest_parser.h"

namespace brxpack {

namespace fs = std::filesystem;

namespace {

// Items of a TOML list under a comment line; a note ends an item's line.
struct ListGroup {
  std::string comment;
  std::vector<std::string> items;
  std::vector<std::string> notes;  // empty, or one per item ("" for none)
};

// The paths the diff puts into the manifest, as it writes them (UTF-8,
// backslashes between names), in the lists they go to.
struct DiffPaths {
  std::vector<ListGroup> payload;  // [payload] only: changed, then new files
  std::vector<std::string> newFolders;
  std::vector<std::string> removedFiles;
  std::vector<std::string> removedFolders;
  // What the diff found at each path: for naming both sides of a clash with a base.
  TakenPaths found;
};

// The path as the manifest writes it; fails when the package cannot hold it.
Result<std::string> ManifestPath(const std::string& relative) {
  std::string path = WithBackslashes(relative);
  Result<std::string> ansi = Utf8ToWindows1251(path);
  if (!ansi.ok()) return Error{"'" + relative + "': " + ansi.error()};
  return path;
}

std::vector<std::string> PathsOf(const std::vector<DiffFile>& files) {
  std::vector<std::string> paths;
  for (const DiffFile& file : files) paths.push_back(file.path);
  return paths;
}

// "[\n  # comment\n  'a',\n]": one item a line, so a long list stays reviewable.
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

// Fails, naming the file, for a path without a Windows-1251 form.
Result<DiffPaths> DiffPathsOf(const ReleaseDiff& diff) {
  DiffPaths paths;
  ListGroup changed{"changed in NEW", {}, {}};
  ListGroup added{"new in NEW", {}, {}};
  for (const DiffFile& file : diff.changed) changed.notes.push_back(file.note);
  for (const auto& [relatives, found, list] :
       {std::tuple{PathsOf(diff.changed), "changed in NEW", &changed.items},
        std::tuple{PathsOf(diff.added), "new in NEW", &added.items},
        std::tuple{diff.newFolders, "a new folder of NEW", &paths.newFolders},
        std::tuple{PathsOf(diff.removed), "a file NEW lacks", &paths.removedFiles},
        std::tuple{diff.removedFolders, "a folder NEW lacks", &paths.removedFolders}}) {
    // Each path recorded with what the diff found there.
    for (const std::string& relative : relatives) {
      Result<std::string> path = ManifestPath(relative);
      if (!path.ok()) return path.TakeError();
      paths.found.emplace(ClashKey(*path), "the diff: '" + *path + "' " + found);
      list->push_back(std::move(*path));
    }
  }
  paths.payload = {std::move(changed), std::move(added)};
  return paths;
}

std::string Header(const DiffManifestRequest& request) {
  const ReleaseDiff& diff = *request.diff;
  const std::vector<std::string>& names = request.olderShown;
  std::string listed;  // "1.0", "1.0 and 1.1", "1.0, 1.1 and 1.2"
  std::string installed;
  for (size_t i = 0; i < names.size(); ++i) {
    listed += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    installed += " --installed " + names[i];
  }
  std::string text = "# The update from " + listed + " to " + request.newerShown +
                     ", written by brxpack diff:\n# " + DiffSummary(diff) + "; " +
                     Counted(diff.unchanged.files, "unchanged file", "unchanged files") +
                     " left out.\n# Build it:  brxpack build " + request.manifestShown +
                     " --exe update.exe\n# Prove it:  brxpack simulate update.exe" + installed +
                     " --expect " + request.newerShown + "\n";
  for (const std::string& note : diff.notes) text += "# Note: " + note + "\n";
  if (!request.base) {
    text +=
        "\n# A package names the program it updates: give [target] (and the question, commands,\n"
        "# registry values) with diff --base, or fill in this table.\n"
        "# [target]\n# registry_key = 'SOFTWARE\\Publisher\\Program'\n# patch_level = 1\n";
  }
  return text;
}

// A host path as the manifest names it: relative where it can be.
std::string Named(const DiffManifestRequest& request, const fs::path& path) {
  const fs::path absolute = fs::absolute(path).lexically_normal();
  const fs::path relative =
      absolute.lexically_relative(fs::absolute(request.manifestFolder).lexically_normal());
  return TomlString(Utf8FromPath((relative.empty() ? absolute : relative).generic_u8string()));
}

}  // namespace

std::string DiffSummary(const ReleaseDiff& diff) {
  return std::to_string(diff.changed.size()) + " changed, " + std::to_string(diff.added.size()) +
         " new, " + Counted(diff.removed.size(), "removed file", "removed files") + "; " +
         Counted(diff.newFolders.size(), "folder", "folders") + " to create, " +
         std::to_string(diff.removedFolders.size()) + " to remove";
}

Result<std::string> ComposeDiffManifest(const DiffManifestRequest& request) {
  Result<DiffPaths> paths = DiffPathsOf(*request.diff);
  if (!paths.ok()) return paths.TakeError();
  std::string text = Header(request);
  if (request.base) {
    // Read here for its clashes with the diff; every reader of the manifest
    // merges it again (manifest_base.h).
    Result<Manifest> base = ReadManifestFile(*request.base, &paths->found);
    if (!base.ok()) return base.TakeError();
    text +=
        "\n# The base says what two folders cannot ([target], [startup], commands, registry\n"
        "# values, [brand]); build merges it in, its lists before these.\nbase = " +
        Named(request, *request.base) + "\n";
  }
  text += "\n[payload]\nfolder = " + Named(request, request.newer) + "\n";
  if (request.symlinks) text += "symlinks = true\n";
  for (const auto& [key, patterns] :
       {std::pair{"exclude", &request.exclude}, std::pair{"include", &request.include}}) {
    if (!patterns->empty())
      text += std::string(key) + " = " + TomlList({{"", *patterns, {}}}) + "\n";
  }
  text += "only = " + TomlList(paths->payload) + "\n";
  if (!paths->newFolders.empty()) {
    text +=
        "\n[folders]\ncreate = " +
        TomlList(
            {{"new folders of NEW that no file creates, parents first", paths->newFolders, {}}}) +
        "\n";
  }
  if (!(paths->removedFiles.empty() && paths->removedFolders.empty())) {
    text += "\n[remove]\npaths = " +
            TomlList({{"files NEW lacks", paths->removedFiles, {}},
                      {"folders NEW lacks, deepest first", paths->removedFolders, {}}}) +
            "\n";
  }
  return text;
}

}  // namespace brxpack
