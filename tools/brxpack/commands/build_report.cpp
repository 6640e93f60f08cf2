#include "brxpack/commands/build_report.h"

#include "brxpack/host/byte_size.h"
#include "brxpack/host/json_writer.h"

namespace brxpack {

namespace {

void OptionalText(JsonWriter& json, const char* name, const std::optional<std::string>& text) {
  json.Key(name);
  if (text) {
    json.String(*text);
  } else {
    json.Null();
  }
}

}  // namespace

void PrintBuildSummary(const BuildReport& report, const std::string& what, Console& console) {
  console.out << "brxpack: wrote " << what << ": " << Counted(report.entries, "entry", "entries")
              << " (" << Counted(report.sections, "section", "sections") << ", "
              << Counted(report.files, "file", "files") << "; " << report.compressed
              << " compressed, " << report.entries - report.compressed << " in stored blocks), "
              << ReadableSize(report.contentBytes) << " in " << ReadableSize(report.packageBytes)
              << "\n";
}

void PrintBuildJson(const BuildReport& report, Console& console) {
  JsonWriter json(console.out);
  json.BeginObject();
  OptionalText(json, "package", report.package);
  OptionalText(json, "exe", report.exe);
  OptionalText(json, "brand", report.brand);
  json.Field("entries", report.entries);
  json.Field("sections", report.sections);
  json.Field("files", report.files);
  json.Field("compressed", report.compressed);
  json.Field("contentBytes", report.contentBytes);
  json.Field("packageBytes", report.packageBytes);
  json.Field("warnings", report.warnings);
  json.EndObject();
  console.out << "\n";
}

}  // namespace brxpack
