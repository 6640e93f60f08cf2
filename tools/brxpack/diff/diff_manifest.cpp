#include "brxpack/diff/diff_manifest.h"

#include "brxpack/diff/base_merge.h"
#include "brxpack/diff/diff_paths.h"
#include "brxpack/contents/display_text.h"
#include "brxpack/host/host_path.h"

namespace brxpack {

namespace fs = std::filesystem;

namespace {

std::string Count(uint64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// "1.0", "1.0 and 1.1", "1.0, 1.1 and 1.2".
std::string Listed(const std::vector<std::string>& names) {
  std::string text;
  for (size_t i = 0; i < names.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
  }
  return text;
}

std::string Header(const DiffManifestRequest& request) {
  const ReleaseDiff& diff = *request.diff;
  std::string installed;
  for (const std::string& name : request.olderShown) installed += " --installed " + name;
  std::string text = "# The update from " + Listed(request.olderShown) + " to " +
                     request.newerShown + ", written by brxpack diff:\n# " + DiffSummary(diff) +
                     "; " + Count(diff.unchanged.files, "unchanged file", "unchanged files") +
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

// NEW's folder as the manifest names it: relative where it can be.
std::string PayloadFolder(const DiffManifestRequest& request) {
  const fs::path newer = fs::absolute(request.newer).lexically_normal();
  const fs::path relative =
      newer.lexically_relative(fs::absolute(request.manifestFolder).lexically_normal());
  return Utf8FromPath((relative.empty() ? newer : relative).generic_u8string());
}

}  // namespace

std::string DiffSummary(const ReleaseDiff& diff) {
  return std::to_string(diff.changed.size()) + " changed, " + std::to_string(diff.added.size()) +
         " new, " + Count(diff.removed.size(), "removed file", "removed files") + "; " +
         Count(diff.newFolders.size(), "folder", "folders") + " to create, " +
         std::to_string(diff.removedFolders.size()) + " to remove";
}

Result<std::string> ComposeDiffManifest(const DiffManifestRequest& request) {
  Result<DiffPaths> paths = DiffPathsOf(*request.diff);
  if (!paths.ok()) return paths.TakeError();
  std::string text = Header(request);
  MergedBase base;
  if (request.base) {
    Result<MergedBase> merged = MergeBase(*request.base, request.manifestFolder, *paths);
    if (!merged.ok()) return merged.TakeError();
    base = std::move(*merged);
    text += "\n# From the base manifest " + Utf8FromPath(*request.base) + ":\n" + base.text;
    if (!text.ends_with("\n")) text += "\n";
    text += "\n# From the diff:\n";
  }
  text += "\n[payload]\nfolder = " + TomlString(PayloadFolder(request)) + "\n";
  if (request.symlinks) text += "symlinks = true\n";
  for (const auto& [key, patterns] :
       {std::pair{"exclude", &request.exclude}, std::pair{"include", &request.include}}) {
    if (!patterns->empty())
      text += std::string(key) + " = " + TomlList({{"", *patterns, {}}}) + "\n";
  }
  text += "only = " + TomlList(paths->payload) + "\n";
  if (!base.hasFolders && !paths->newFolders.empty()) {
    text +=
        "\n[folders]\ncreate = " +
        TomlList(
            {{"new folders of NEW that no file creates, parents first", paths->newFolders, {}}}) +
        "\n";
  }
  if (!base.hasRemove && !(paths->removedFiles.empty() && paths->removedFolders.empty())) {
    text += "\n[remove]\npaths = " +
            TomlList({{"files NEW lacks", paths->removedFiles, {}},
                      {"folders NEW lacks, deepest first", paths->removedFolders, {}}}) +
            "\n";
  }
  return text;
}

}  // namespace brxpack
