// brxpack build: a package file, the self-applying executable or both, from
// a manifest.
#include "brxpack/commands/command.h"
#include "brxpack/host/byte_size.h"
#include "brxpack/host/host_path.h"
#include "brxpack/host/json_writer.h"
#include "brxpack/host/mapped_file.h"
#include "brxpack/host/output_file.h"
#include "brxpack/host/output_guard.h"
#include "brxpack/manifest/manifest_parser.h"
#include "brxpack/package/package_plan.h"
#include "brxpack/package/package_stream_writer.h"
#include "brxpack/stub/brand.h"
#include "brxpack/stub/stub_file.h"

namespace brxpack {

namespace {

struct BuildOptions {
  std::filesystem::path manifest;
  std::filesystem::path output;  // empty: the manifest's package.output, or its name with .brx
  std::filesystem::path exe;     // empty: no self-applying executable
  StubOptions stub;
  std::optional<int> level;
  bool zlib = false;  // zlib's deflate, to measure builds against it
  unsigned threads = kDefaultThreads;
  bool werror = false;  // warnings fail the build
  bool json = false;    // one JSON object instead of the summary lines
};

// What a build wrote, said once at its end: the "wrote" lines, or with
// --json one object for scripts.
struct BuildReport {
  std::optional<std::string> package;  // the package file, when one was written
  std::optional<std::string> exe;      // the self-applying executable, when one was written
  std::optional<std::string> brand;    // "Product 1.2.3" when the installer carries a brand
  uint64_t entries = 0;
  uint64_t sections = 0;
  uint64_t files = 0;
  uint64_t compressed = 0;    // entries held as zlib streams; the rest are stored blocks
  uint64_t contentBytes = 0;  // the entries' bytes as installed
  uint64_t packageBytes = 0;  // the package as written, without the stub
  std::vector<std::string> warnings;
  bool json = false;  // the report is printed as JSON at the end, so no lines before
};

void PrintBuildJson(const BuildReport& report, Console& console) {
  JsonWriter json(console.out);
  json.BeginObject();
  json.Field("package", report.package);
  json.Field("exe", report.exe);
  json.Field("brand", report.brand);
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

// What both ways of building share: the plan and how its entries are written.
struct Build {
  PackagePlan plan;
  std::vector<EntryToWrite> entries;
  StreamWriterOptions writer;
};

std::filesystem::path PackagePath(const BuildOptions& options, const Manifest& manifest) {
  if (!options.output.empty()) return options.output;
  if (manifest.output) return manifest.folder / *manifest.output;
  std::filesystem::path path = manifest.path;
  return path.replace_extension(".brx");
}

// Streams the package behind whatever the output already holds, drawing
// progress on a terminal.
Result<std::vector<WrittenEntry>> WriteEntries(const Build& build, AtomicOutputFile& output,
                                               Console& console) {
  ProgressMeter progress(ProgressOn(console, "building"), build.plan.FileBytes());
  StreamWriterOptions options = build.writer;
  options.progress = &progress;
  Result<std::vector<WrittenEntry>> written = WritePackageStream(build.entries, options, output);
  progress.Finish();
  return written;
}

// Counts what was written into the report; without --json (and -q) says it:
// "wrote FILE: 3 entries (...), 1.2 KB in 900 bytes".
void Summarize(const std::string& what, const std::vector<WrittenEntry>& written,
               const PackagePlan& plan, uint64_t packageBytes, BuildReport& report,
               Console& console) {
  report.entries = written.size();
  report.sections = plan.sections.size();
  report.files = plan.files.size();
  for (const WrittenEntry& entry : written) {
    report.contentBytes += entry.size;
    report.compressed += entry.compressed ? 1 : 0;
  }
  report.packageBytes = packageBytes;
  if (console.quiet || report.json) return;
  console.out << "brxpack: wrote " << what << ": " << Counted(report.entries, "entry", "entries")
              << " (" << Counted(report.sections, "section", "sections") << ", "
              << Counted(report.files, "file", "files") << "; " << report.compressed
              << " compressed, " << report.entries - report.compressed << " in stored blocks), "
              << ReadableSize(report.contentBytes) << " in " << ReadableSize(report.packageBytes)
              << "\n";
}

// The package, or with a stub the executable: stub, package and trailer in
// one pass.
int WriteBuild(const Build& build, const std::filesystem::path& path, const UnsignedStub* stub,
               BuildReport& report, Console& console) {
  Result<AtomicOutputFile> output = AtomicOutputFile::Create(path);
  if (!output.ok()) return Refuse(console, output.error());
  const size_t stubBytes = stub != nullptr ? stub->bytes.size() : 0;
  Status status = stub != nullptr ? output->Write(stub->bytes.data(), stubBytes) : Status::Ok();
  if (!status.ok()) return Refuse(console, status.error());
  Result<std::vector<WrittenEntry>> written = WriteEntries(build, *output, console);
  const uint64_t packageBytes = output->written() - stubBytes;
  status = written.ok() ? Status::Ok() : written.TakeError();
  if (status.ok() && stub != nullptr) status = CheckSelfApplyingSize(stubBytes, packageBytes);
  if (status.ok() && stub != nullptr)
    status = WriteTrailer(static_cast<uint32_t>(stubBytes), *output);
  if (status.ok()) status = output->Commit();
  if (!status.ok()) return Refuse(console, status.error());
  std::optional<std::string>& shown = stub != nullptr ? report.exe : report.package;
  shown = Utf8FromPath(path);
  Summarize(*shown, *written, build.plan, packageBytes, report, console);
  return kExitOk;
}

// Everything the build reads, which its outputs must not overwrite.
OutputInputs InputsOf(const Manifest& manifest, const PackagePlan& plan,
                      const std::filesystem::path& stub) {
  OutputInputs inputs;
  inputs.files.emplace_back(manifest.path, "the manifest");
  for (const PlannedFile& file : plan.files) {
    inputs.files.emplace_back(file.source, "a file the package takes");
  }
  if (!stub.empty()) inputs.files.emplace_back(stub, "the stub");
  if (manifest.payload) {
    inputs.folders.push_back(manifest.folder / manifest.payload->folder);
  }
  return inputs;
}

int Compose(const BuildOptions& options, BuildReport& report, Console& console) {
  Result<Manifest> manifest = ReadManifestFile(options.manifest);
  if (!manifest.ok()) return Refuse(console, manifest.error());
  Result<PackagePlan> plan = PlanPackage(*manifest);
  if (!plan.ok()) return Refuse(console, plan.error());
  for (const std::string& warning : plan->warnings) Warn(console, warning);
  report.warnings = plan->warnings;
  if (options.werror && !plan->warnings.empty()) {
    return Refuse(console, "the build has warnings, which --werror makes errors");
  }

  std::vector<std::filesystem::path> outputs;
  const bool packageFile = options.exe.empty() || !options.output.empty();
  if (packageFile) outputs.push_back(PackagePath(options, *manifest));
  if (!options.exe.empty()) outputs.push_back(options.exe);
  const Status outputsFine = CheckOutputs(outputs, InputsOf(*manifest, *plan, options.stub.stub));
  if (!outputsFine.ok()) return Refuse(console, outputsFine.error());

  Build build;
  build.entries = EntriesToWrite(*plan);
  build.plan = std::move(*plan);
  build.writer.compression.level =
      options.level.value_or(manifest->level.value_or(kDefaultCompressionLevel));
  if (options.zlib) {
    if (build.writer.compression.level > 9) return Refuse(console, "--zlib takes levels 0-9");
    build.writer.compression.deflater = Deflater::kZlib;
  }
  build.writer.threads = options.threads;
  if (options.exe.empty()) return WriteBuild(build, outputs[0], nullptr, report, console);
  Result<UnsignedStub> stub =
      LoadStub(options.stub.stub, ChooseArch(options.stub.arch, manifest->arch), console);
  if (!stub.ok()) return Refuse(console, stub.error());
  if (manifest->brand) {
    const Status branded = BrandStub(*stub, *manifest->brand, manifest->folder);
    if (!branded.ok()) return Refuse(console, branded.error());
    report.brand = manifest->brand->product + " " + manifest->brand->version;
    if (!console.quiet && !report.json)
      console.out << "brxpack: the installer carries the brand of " << *report.brand << "\n";
  }
  if (!packageFile) return WriteBuild(build, options.exe, &*stub, report, console);
  const int code = WriteBuild(build, outputs[0], nullptr, report, console);
  if (code != kExitOk) return code;
  // The executable from the finished file, exactly as the exe command (and
  // the installer's own builder mode) would make it.
  Result<MappedFile> package = MappedFile::Open(outputs[0]);
  if (!package.ok()) return Refuse(console, package.error());
  const Status made = WriteSelfApplying(stub->range(), package->range(), options.exe);
  if (!made.ok()) return Refuse(console, made.error());
  report.exe = Utf8FromPath(options.exe);
  if (!console.quiet && !report.json) console.out << "brxpack: wrote " << *report.exe << "\n";
  return kExitOk;
}

int RunBuild(const BuildOptions& options, Console& console) {
  BuildReport report;
  report.json = options.json;
  const int code = Compose(options, report, console);
  if (code == kExitOk && options.json) PrintBuildJson(report, console);
  return code;
}

void AddOptions(CLI::App& parser, BuildOptions& options) {
  AddPath(parser, "MANIFEST", options.manifest, "The manifest file")->required();
  AddPath(parser, "-o,--output", options.output,
          "The package file to write (default: the manifest's package.output, or the "
          "manifest's name with .brx)");
  AddPath(parser, "--exe", options.exe,
          "Also write the self-applying executable (with only --exe, no package file is "
          "written)");
  AddStubOptions(parser, options.stub, " for --exe", "the manifest's [target] arch, or x86");
  CLI::Option* level =
      parser
          .add_option("--level", options.level,
                      "Compression level 0-12: 0 stores, 12 is the smallest and slowest "
                      "(default: the manifest's, or " +
                          std::to_string(kDefaultCompressionLevel) + ")")
          ->check(CLI::Range(0, kMaxCompressionLevel));
  parser
      .add_flag_callback(
          "--best", [&options] { options.level = kMaxCompressionLevel; },
          "Level 12, for release builds")
      ->excludes(level);
  // The bench's baseline: not for publishers, so not in the help.
  parser.add_flag("--zlib", options.zlib)->group("");
  parser.add_option("--jobs", options.threads, "Threads that compress entries (default 2)")
      ->check(CLI::Range(1, 64));
  parser.add_flag("--werror", options.werror, "Treat warnings as errors");
  parser.add_flag("--json", options.json,
                  "Print one JSON object of what was written (see the README)");
}

}  // namespace

const Command kBuildCommand{
    "build",
    "Build a package from a manifest (UTF-8 TOML) and its payload; optionally the self-applying "
    "executable at once.",
    Define<BuildOptions, AddOptions, RunBuild>};

}  // namespace brxpack
