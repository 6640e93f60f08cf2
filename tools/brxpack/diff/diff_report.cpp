#include "brxpack/diff/diff_report.h"

#include "brxpack/host/byte_size.h"
#include "brxpack/host/json_writer.h"
#include "brxpack/host/scratch_folder.h"
#include "brxpack/manifest/compression_level.h"
#include "brxpack/manifest/manifest_parser.h"
#include "brxpack/package/package_plan.h"

namespace brxpack {

namespace fs = std::filesystem;

namespace {

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

}  // namespace

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
  // Every package as build writes it, at one level, into one scratch folder;
  // progress is drawn on a terminal unless -q.
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

}  // namespace brxpack
