#include "brxpack/diff/diff_json.h"

#include "brxpack/host/json_writer.h"

namespace brxpack {

namespace {

void Files(JsonWriter& json, const char* name, const std::vector<DiffFile>& files) {
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

void PrintDiffJson(const ReleasesDiff& diff, const std::vector<std::string>& olderShown,
                   const std::optional<std::string>& output, const std::string& manifest,
                   const DiffPackageSizes* sizes, std::ostream& out) {
  JsonWriter json(out);
  json.BeginObject();
  json.Field("output", output);
  if (!output) json.Field("manifest", manifest);
  const ReleaseDiff& update = diff.update;
  Files(json, "changed", update.changed);
  Files(json, "new", update.added);
  Files(json, "removed", update.removed);
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
