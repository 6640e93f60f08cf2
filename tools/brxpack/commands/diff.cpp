// brxpack diff: the manifest of the update that turns one or several
// release folders into another; with --stats what it changes in each old
// release and what its package weighs, written by build's own writer; with
// --json all of it as one object for scripts.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <system_error>

#include "brxpack/commands/command.h"
#include "brxpack/contents/package_path.h"
#include "brxpack/contents/windows1251.h"
#include "brxpack/diff/diff_manifest.h"
#include "brxpack/diff/release_diff.h"
#include "brxpack/host/byte_size.h"
#include "brxpack/host/host_path.h"
#include "brxpack/host/json_writer.h"
#include "brxpack/host/output_file.h"
#include "brxpack/host/output_guard.h"
#include "brxpack/host/scratch_folder.h"
#include "brxpack/manifest/compression_level.h"
#include "brxpack/manifest/manifest_parser.h"
#include "brxpack/package/package_plan.h"

namespace brxpack {

namespace fs = std::filesystem;

namespace {

struct DiffOptions {
  std::vector<fs::path> releases;  // the old releases, then NEW
  fs::path output;                 // empty: standard output
  fs::path base;                   // empty: no base manifest
  bool stats = false;
  unsigned threads = kDefaultThreads;  // for --stats
  std::vector<std::string> exclude;    // patterns, as [payload] exclude
  std::vector<std::string> include;
  bool symlinks = false;
  bool json = false;    // one JSON object: what changed, and where the manifest went
  bool werror = false;  // warnings fail the diff, and nothing is written
};

// The payload folder's rules, which the manifest repeats for build.
Result<PayloadRules> RulesOf(const DiffOptions& options) {
  PayloadRules rules;
  rules.followLinks = options.symlinks;
  for (const auto& [texts, patterns] :
       {std::pair{&options.exclude, &rules.exclude}, std::pair{&options.include, &rules.include}}) {
    for (const std::string& text : *texts) {
      Result<PathPattern> pattern = PathPattern::Parse(text);
      if (!pattern.ok()) return Error{"'" + text + "': " + pattern.error()};
      patterns->push_back(std::move(*pattern));
    }
  }
  return rules;
}

// A manifest written into a release would be taken as one of its files by
// the next diff or build; one written over the base destroys it.
Status CheckManifestOutput(const DiffOptions& options, const fs::path& manifestPath) {
  if (options.output.empty()) return Status::Ok();
  OutputInputs inputs;
  inputs.folderKind = "release folder";
  inputs.folderReader = "diff takes";
  inputs.folders = options.releases;
  if (!options.base.empty()) inputs.files.emplace_back(options.base, "the base");
  return CheckOutputs({manifestPath}, inputs);
}

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

bool Below(const std::string& path, const std::vector<std::string>& folders) {
  return std::any_of(folders.begin(), folders.end(), [&](const std::string& folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
  });
}

// Adds to `problems` one line per name of the release that the package
// cannot hold (no Windows-1251 form, or a "\" that would split it into
// folders) or that PackagePathProblem refuses for its use; what lies below a
// refused folder is not listed again.
void AddReleaseNameProblems(const PayloadTree& tree, const std::string& release, PathUse files,
                            PathUse folders, std::vector<std::string>& problems) {
  std::vector<std::string> refusedFolders;
  // Lists the problem of `relative`, if it has one, and says whether it has.
  const auto refused = [&](const std::string& relative, PathUse use) {
    if (Below(relative, refusedFolders)) return false;
    const Result<std::string> path = PackagePathOf(relative);
    const std::optional<std::string> problem =
        path.ok() ? PackagePathProblem(*path, use) : std::optional(path.error());
    if (problem) problems.push_back("'" + relative + "' in " + release + ": " + *problem);
    return problem.has_value();
  };
  for (const std::string& folder : tree.folders) {
    if (refused(folder, folders)) refusedFolders.push_back(folder);
  }
  for (const PayloadFile& file : tree.files) refused(file.relative, files);
}

// The paths the update names that a long program folder would push past
// Windows' limits (PathLengthWarning).
void AddDiffLengthWarnings(const ReleaseDiff& update, std::vector<std::string>& warnings) {
  const auto warn = [&warnings](const std::string& relative, PathUse use, const char* what) {
    Result<std::string> path = PackagePathOf(relative);
    if (!path.ok()) return;  // refused by CheckReleaseNames before the diff
    if (std::optional<std::string> warning = PathLengthWarning(*path, use)) {
      warnings.push_back("'" + relative + "' (" + what + ") " + *warning);
    }
  };
  for (const DiffFile& file : update.changed) warn(file.path, PathUse::kInstalledFile, "installed");
  for (const DiffFile& file : update.added) warn(file.path, PathUse::kInstalledFile, "installed");
  for (const std::string& folder : update.newFolders) warn(folder, PathUse::kFolder, "created");
  for (const DiffFile& file : update.removed) warn(file.path, PathUse::kRemoval, "removed");
  for (const std::string& path : update.removedFolders) warn(path, PathUse::kRemoval, "removed");
}

// Every name of every release at once, so one run shows all that needs
// renaming: an old release's names are removals, NEW's are installed.
Status CheckReleaseNames(const std::vector<PayloadTree>& older,
                         const std::vector<std::string>& olderShown, const PayloadTree& newer,
                         const std::string& newerShown) {
  std::vector<std::string> problems;
  for (size_t i = 0; i < older.size(); ++i) {
    AddReleaseNameProblems(older[i], olderShown[i], PathUse::kRemoval, PathUse::kRemoval, problems);
  }
  AddReleaseNameProblems(newer, newerShown, PathUse::kInstalledFile, PathUse::kFolder, problems);
  if (problems.empty()) return Status::Ok();
  std::string text = "these names cannot go into an update; rename them (nothing written):";
  for (const std::string& problem : problems) text += "\n  " + problem;
  return Error{text};
}

// What the always-left-out rule dropped from a release: the update neither
// brings nor removes it, which the publisher should know.
void NoteLeftOut(const PayloadTree& tree, const std::string& shown, Console& console) {
  if (tree.alwaysLeftOut.empty() || console.quiet) return;
  std::string names;
  for (const std::string& name : tree.alwaysLeftOut) {
    names += (names.empty() ? "'" : ", '") + name + "'";
  }
  console.err << "brxpack: note: left out of " << shown
              << ", as from every payload folder (simulate --expect passes over them too): "
              << names << "\n";
}

struct DiffPackageSizes {
  int level = 0;               // the level every package was written at
  bool standInTarget = false;  // no base: a stand-in [target] took its place
  uint64_t update = 0;         // the update's package
  uint64_t full = 0;           // a package of every file of NEW
  // An update from each old release alone, in their order (with one
  // release, the update itself).
  std::vector<uint64_t> alone;
};

// A manifest without [target] cannot be planned; its sections weigh a few
// bytes, so the figures stand in for the target the publisher will give.
constexpr char kStandInTarget[] = "\n[target]\nregistry_key = 'SOFTWARE\\P\\P'\npatch_level = 1\n";

std::string Files(const DiffTally& tally) {
  return Counted(tally.files, "file", "files") + ", " + ReadableSize(tally.bytes);
}

std::string Row(const std::string& indent, const char* what, const std::string& figures) {
  std::string row = what;
  row.resize(10, ' ');
  return indent + row + figures + "\n";
}

// What the update does to a release: its files and folders.
void PrintChanges(const ReleaseDiff& diff, const std::string& indent, std::ostream& out) {
  const size_t folders = diff.removedFolders.size();
  out << Row(indent, "unchanged", Files(diff.unchanged))
      << Row(indent, "changed", Files(Tally(diff.changed)))
      << Row(indent, "new", Files(Tally(diff.added)))
      << Row(indent, "removed",
             Files(Tally(diff.removed)) +
                 (folders == 0 ? ""
                               : ", and " + Counted(folders, "folder", "folders") + " left empty"));
}

uint64_t Percent(uint64_t part, uint64_t whole) {
  return whole == 0 ? 0 : part * 100 / whole;
}

void FileList(JsonWriter& json, const char* name, const std::vector<DiffFile>& files) {
  json.Key(name);
  json.BeginArray();
  for (const DiffFile& file : files) {
    json.BeginObject();
    json.Field("path", file.path);
    json.Field("size", file.size);
    if (!file.note.empty()) json.Field("note", file.note);
    json.EndObject();
  }
  json.EndArray();
}

void Figures(JsonWriter& json, const char* name, const DiffTally& tally) {
  json.Key(name);
  json.BeginObject();
  json.Field("files", tally.files);
  json.Field("bytes", tally.bytes);
  json.EndObject();
}

// Writes the update's package (from its manifest `text`), with several old
// releases an update from each alone (composed from `request` for
// comparison), and a full package of NEW, and gives their sizes.
Result<DiffPackageSizes> MeasureDiffPackages(const ReleasesDiff& diff,
                                             const DiffManifestRequest& request,
                                             const std::string& text, const fs::path& manifestPath,
                                             unsigned threads, Console& console) {
  DiffPackageSizes sizes;
  sizes.standInTarget = !request.base.has_value();
  Result<ScratchFolder> scratch = ScratchFolder::Create("brxpack-diff-");
  if (!scratch.ok()) return scratch.TakeError();
  const auto parse = [&](const std::string& manifest) {
    return ParseManifest(manifest + (sizes.standInTarget ? kStandInTarget : ""), manifestPath);
  };
  // Every package as build writes it, at one level, into one scratch folder.
  const auto size = [&](const Manifest& manifest, const std::string& what) {
    return PackageSize(manifest, sizes.level, threads, scratch->path(), ProgressOn(console, what));
  };
  Result<Manifest> update = parse(text);
  if (!update.ok()) return update.TakeError();
  // The manifest's level wins, as in build.
  sizes.level = update->level.value_or(kDefaultCompressionLevel);
  Result<uint64_t> updateSize = size(*update, "measuring the update");
  if (!updateSize.ok()) return updateSize.TakeError();
  sizes.update = *updateSize;

  for (size_t i = 0; diff.releases.size() > 1 && i < diff.releases.size(); ++i) {
    const std::string& name = request.olderShown[i];
    DiffManifestRequest single = request;
    single.diff = &diff.releases[i];
    single.olderShown = {name};
    Result<std::string> aloneText = ComposeDiffManifest(single);
    if (!aloneText.ok()) return aloneText.TakeError();
    Result<Manifest> aloneManifest = parse(*aloneText);
    if (!aloneManifest.ok()) return aloneManifest.TakeError();
    Result<uint64_t> aloneSize =
        size(*aloneManifest, "measuring the update from " + name + " alone");
    if (!aloneSize.ok()) return aloneSize.TakeError();
    sizes.alone.push_back(*aloneSize);
  }
  if (diff.releases.size() == 1) sizes.alone.push_back(sizes.update);

  Manifest full = *update;
  if (full.payload) full.payload->only.reset();
  Result<uint64_t> fullSize = size(full, "measuring a full package of NEW");
  if (!fullSize.ok()) return fullSize.TakeError();
  sizes.full = *fullSize;
  return sizes;
}

// The figures as text: what the update changes in each old release and
// what the packages weigh.
void PrintDiffStats(const ReleasesDiff& diff, const DiffManifestRequest& request,
                    const DiffPackageSizes& sizes, std::ostream& out) {
  if (diff.releases.size() == 1) PrintChanges(diff.update, "", out);
  for (size_t i = 0; diff.releases.size() > 1 && i < diff.releases.size(); ++i) {
    const ReleaseDiff& alone = diff.releases[i];
    const std::string& name = request.olderShown[i];
    out << "from " << name << "\n";
    PrintChanges(alone, "  ", out);
    out << Row(
        "  ", "carried",
        Files(Carried(diff.update, alone)) + " that " + name + " holds as NEW does, written again");
    out << Row("  ", "package",
               ReadableSize(sizes.alone[i]) + " for an update from " + name +
                   " alone; this one is " + ReadableSize(sizes.update) + " (" +
                   std::to_string(Percent(sizes.update, sizes.alone[i])) + "%)");
  }
  out << "package   " << ReadableSize(sizes.update) << ", against " << ReadableSize(sizes.full)
      << " for a full package of NEW (" << Percent(sizes.update, sizes.full)
      << "%): both written by build's own writer at level " << sizes.level
      << ", with the manifest's sections" << (sizes.standInTarget ? " and a stand-in [target]" : "")
      << "; the full one takes every file of NEW\n";
}

// output: the manifest file written, or none when the manifest text goes
// into the object itself. sizes: what --stats measured, when it was given.
void PrintDiffJson(const ReleasesDiff& diff, const std::vector<std::string>& olderShown,
                   const std::optional<std::string>& output, const std::string& manifest,
                   const DiffPackageSizes* sizes, std::ostream& out) {
  JsonWriter json(out);
  json.BeginObject();
  json.Field("output", output);
  if (!output) json.Field("manifest", manifest);
  const ReleaseDiff& update = diff.update;
  FileList(json, "changed", update.changed);
  FileList(json, "new", update.added);
  FileList(json, "removed", update.removed);
  json.Field("newFolders", update.newFolders);
  json.Field("removedFolders", update.removedFolders);
  Figures(json, "unchanged", update.unchanged);
  json.Field("notes", update.notes);
  json.Key("releases");
  json.BeginArray();
  for (size_t i = 0; i < diff.releases.size() && i < olderShown.size(); ++i) {
    const ReleaseDiff& alone = diff.releases[i];
    json.BeginObject();
    json.Field("old", olderShown[i]);
    Figures(json, "changed", Tally(alone.changed));
    Figures(json, "new", Tally(alone.added));
    Figures(json, "removed", Tally(alone.removed));
    Figures(json, "unchanged", alone.unchanged);
    Figures(json, "carried", Carried(update, alone));
    if (sizes != nullptr && i < sizes->alone.size()) json.Field("package", sizes->alone[i]);
    json.EndObject();
  }
  json.EndArray();
  if (sizes != nullptr) {
    json.Key("stats");
    json.BeginObject();
    json.Field("level", static_cast<int64_t>(sizes->level));
    json.Field("package", sizes->update);
    json.Field("fullPackage", sizes->full);
    json.Field("standInTarget", sizes->standInTarget);
    json.EndObject();
  }
  json.EndObject();
  out << "\n";
}

int RunDiff(const DiffOptions& options, Console& console) {
  if (options.releases.size() < 2) {
    return Refuse(console, "diff takes the old releases and then NEW: give at least two folders");
  }
  Result<PayloadRules> rules = RulesOf(options);
  if (!rules.ok()) return Refuse(console, rules.error());
  // The releases as given, for messages.
  std::vector<std::string> olderShown;
  for (const fs::path& release : options.releases) olderShown.push_back(Utf8FromPath(release));
  const std::string newerShown = olderShown.back();
  olderShown.pop_back();
  // One old release is "OLD" in messages, as the command's help calls it.
  const bool several = olderShown.size() > 1;
  std::vector<PayloadTree> trees;
  trees.reserve(olderShown.size());  // `older` points at them
  std::vector<OldRelease> older;
  for (size_t i = 0; i < olderShown.size(); ++i) {
    const std::string name = several ? olderShown[i] : "OLD";
    Result<PayloadTree> tree = ScanPayloadTree(options.releases[i], *rules, name);
    if (!tree.ok()) return Refuse(console, tree.error());
    older.push_back({name, &trees.emplace_back(std::move(*tree))});
  }
  Result<PayloadTree> newer = ScanPayloadTree(options.releases.back(), *rules, "NEW");
  if (!newer.ok()) return Refuse(console, newer.error());
  for (size_t i = 0; i < trees.size(); ++i) NoteLeftOut(trees[i], olderShown[i], console);
  NoteLeftOut(*newer, newerShown, console);
  Status names = CheckReleaseNames(trees, olderShown, *newer, newerShown);
  if (!names.ok()) return Refuse(console, names.error());
  Result<ReleasesDiff> diff = DiffReleases(older, *newer);
  if (!diff.ok()) return Refuse(console, diff.error());
  const ReleaseDiff& update = diff->update;

  std::error_code error;
  const fs::path manifestPath = options.output.empty() ? fs::current_path(error) / "update.toml"
                                                       : fs::absolute(options.output, error);
  Status outputFits = CheckManifestOutput(options, manifestPath);
  if (!outputFits.ok()) return Refuse(console, outputFits.error());
  const std::string outputShown = Utf8FromPath(options.output);
  const DiffManifestRequest request{
      .diff = &update,
      .olderShown = olderShown,
      .newerShown = newerShown,
      .manifestShown = options.output.empty() ? "update.toml" : outputShown,
      .newer = options.releases.back(),
      .manifestFolder = manifestPath.parent_path(),
      .base = options.base.empty() ? std::nullopt : std::optional(options.base),
      .exclude = options.exclude,
      .include = options.include,
      .symlinks = options.symlinks};
  Result<std::string> text = ComposeDiffManifest(request);
  if (!text.ok()) return Refuse(console, text.error());
  std::vector<std::string> warnings = update.notes;
  AddDiffLengthWarnings(update, warnings);
  if (update.changed.empty() && update.added.empty() && update.removed.empty() &&
      update.removedFolders.empty() && update.newFolders.empty()) {
    warnings.push_back(
        "NEW has nothing that the old releases lack or hold otherwise: the update "
        "changes no file or folder");
  }
  for (const std::string& warning : warnings) Warn(console, warning);
  if (options.werror && !warnings.empty()) {
    return Refuse(console, "the diff has warnings, which --werror makes errors; nothing written");
  }

  if (options.output.empty()) {
    if (!options.json) console.out << *text;
  } else {
    const Status written = WriteOutputFile(manifestPath, text->data(), text->size());
    if (!written.ok()) return Refuse(console, written.error());
    if (!console.quiet && !options.json)
      console.out << "brxpack: wrote " << outputShown << ": " << DiffSummary(update) << "\n";
  }
  std::optional<DiffPackageSizes> sizes;
  if (options.stats) {
    Result<DiffPackageSizes> measured =
        MeasureDiffPackages(*diff, request, *text, manifestPath, options.threads, console);
    if (!measured.ok()) return Refuse(console, measured.error());
    sizes = std::move(*measured);
  }
  if (options.json) {
    PrintDiffJson(*diff, olderShown,
                  options.output.empty() ? std::nullopt : std::optional(outputShown), *text,
                  sizes ? &*sizes : nullptr, console.out);
  } else if (sizes) {
    // With the manifest on standard output, the figures go beside the
    // messages.
    PrintDiffStats(*diff, request, *sizes, options.output.empty() ? console.err : console.out);
  }
  return kExitOk;
}

void AddOptions(CLI::App& parser, DiffOptions& options) {
  AddPaths(parser, "RELEASES", options.releases,
           "OLD... NEW: the installed releases, then the release the update brings, last "
           "(folders)")
      ->required();
  AddPath(parser, "-o,--output", options.output,
          "Write the manifest to this file instead of printing it");
  AddPath(parser, "--base", options.base,
          "A manifest with what two folders cannot say ([target], [startup], commands, "
          "registry values, [brand]), merged in");
  parser.add_flag("--stats", options.stats,
                  "Print counts and bytes, and the package's size against a full package of "
                  "NEW; with several old releases, what the update does to each and its size "
                  "against an update from that release alone");
  parser.add_option("--jobs", options.threads, "Threads that compress for --stats (default 2)")
      ->check(CLI::Range(1, 64));
  OneValueEach(parser.add_option(
      "--exclude", options.exclude,
      "A pattern of files every release leaves out, as [payload] exclude; once per pattern"));
  OneValueEach(parser.add_option(
      "--include", options.include,
      "A pattern of files taken even when excluded, as [payload] include; once per pattern"));
  parser.add_flag("--symlinks", options.symlinks,
                  "Take the files symbolic links point to; else a link is an error");
  parser.add_flag("--json", options.json,
                  "Print one JSON object: what the update does to each old release, and the "
                  "manifest (see the README)");
  parser.add_flag("--werror", options.werror, "Treat warnings as errors; nothing is written");
}

}  // namespace

const Command kDiffCommand{
    "diff",
    "Write the manifest of the update from one or several release folders to the next: NEW's "
    "files that an old release lacks or holds otherwise, the files and folders NEW lacks "
    "removed, new empty folders created; names matched as Windows matches them, contents byte "
    "for byte. One update takes every old release given to NEW.",
    Define<DiffOptions, AddOptions, RunDiff>};

}  // namespace brxpack
