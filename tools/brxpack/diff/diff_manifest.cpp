#include "brxpack/diff/diff_manifest.h"

#include "brxpack/diff/diff_paths.h"
#include "brxpack/contents/display_text.h"
#include "brxpack/host/host_path.h"
#include "brxpack/manifest/manifest_parser.h"

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
         " new, " + Count(diff.removed.size(), "removed file", "removed files") + "; " +
         Count(diff.newFolders.size(), "folder", "folders") + " to create, " +
         std::to_string(diff.removedFolders.size()) + " to remove";
}

Result<std::string> ComposeDiffManifest(const DiffManifestRequest& request) {
  Result<DiffPaths> paths = DiffPathsOf(*request.diff);
  if (!paths.ok()) return paths.TakeError();
  std::string text = Header(request);
  if (request.base) {
    // Read here for its clashes with the diff; every reader of the manifest
    // merges it again (manifest_base.h).
    Result<Manifest> base = ReadBaseManifest(*request.base, paths->found);
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
