// brxpack build: a package (and optionally the self-applying executable)
// from a manifest.
#include "brxpack/authoring/manifest_parser.h"
#include "brxpack/authoring/package_plan.h"
#include "brxpack/authoring/package_stream_writer.h"
#include "brxpack/authoring/self_applying.h"
#include "brxpack/authoring/stub_file.h"
#include "brxpack/commands/commands.h"
#include "brxpack/commands/exit_codes.h"
#include "brxpack/host/byte_size.h"
#include "brxpack/host/host_path.h"
#include "brxpack/host/mapped_file.h"
#include "brxpack/host/output_file.h"

namespace brxpack {

namespace {

std::filesystem::path PackagePath(const BuildOptions& options, const Manifest& manifest) {
  if (!options.output.empty()) return PathFromUtf8(options.output);
  if (manifest.output) return manifest.folder / PathFromUtf8(*manifest.output);
  std::filesystem::path path = manifest.path;
  return path.replace_extension(".brx");
}

std::vector<EntryToWrite> EntriesOf(const PackagePlan& plan) {
  std::vector<EntryToWrite> entries;
  for (const SectionEntry& section : plan.sections) {
    EntryToWrite entry;
    entry.name = section.name;
    entry.bytes = section.payload;
    entries.push_back(std::move(entry));
  }
  for (const PlannedFile& file : plan.files) {
    EntryToWrite entry;
    entry.name = file.entryName;
    entry.fromFile = true;
    entry.file = file.source;
    entry.stored = file.stored;
    entries.push_back(std::move(entry));
  }
  return entries;
}

uint64_t InputBytes(const PackagePlan& plan) {
  uint64_t total = 0;
  for (const PlannedFile& file : plan.files) total += file.size;
  return total;
}

void Summarize(const std::string& what, const std::vector<WrittenEntry>& written,
               const PackagePlan& plan, uint64_t packageBytes, Console& console) {
  uint64_t content = 0;
  unsigned compressed = 0;
  for (const WrittenEntry& entry : written) {
    content += entry.size;
    compressed += entry.compressed ? 1 : 0;
  }
  console.out << "brxpack: wrote " << what << ": " << written.size() << " entries ("
              << plan.sections.size() << " sections, " << plan.files.size() << " files; "
              << compressed << " compressed), " << ReadableSize(content) << " in "
              << ReadableSize(packageBytes) << "\n";
}

}  // namespace

int RunBuild(const BuildOptions& options, Console& console) {
  Result<Manifest> manifest = ReadManifestFile(PathFromUtf8(options.manifest));
  if (!manifest.ok()) {
    console.err << manifest.error() << "\n";
    return kExitBadInput;
  }
  Result<PackagePlan> plan = PlanPackage(*manifest);
  if (!plan.ok()) {
    console.err << plan.error() << "\n";
    return kExitBadInput;
  }
  for (const std::string& warning : plan->warnings) {
    console.err << "brxpack: warning: " << warning << "\n";
  }

  std::optional<UnsignedStub> stub;
  if (!options.exe.empty()) {
    Result<UnsignedStub> loaded = LoadStub(options.stub, console);
    if (!loaded.ok()) {
      console.err << "brxpack: " << loaded.error() << "\n";
      return kExitBadInput;
    }
    stub = std::move(*loaded);
  }

  StreamWriterOptions writerOptions;
  writerOptions.level = options.level.value_or(manifest->level.value_or(kDefaultLevel));
  writerOptions.threads = options.threads;
  const std::vector<EntryToWrite> entries = EntriesOf(*plan);
  const bool writePackageFile = !options.output.empty() || options.exe.empty();

  if (writePackageFile) {
    const std::filesystem::path packagePath = PackagePath(options, *manifest);
    Result<AtomicOutputFile> output = AtomicOutputFile::Create(packagePath);
    if (!output.ok()) {
      console.err << "brxpack: " << output.error() << "\n";
      return kExitBadInput;
    }
    ProgressMeter progress(console.err, console.errIsTerminal, "building", InputBytes(*plan));
    writerOptions.progress = &progress;
    Result<std::vector<WrittenEntry>> written = WritePackageStream(entries, writerOptions, *output);
    progress.Finish();
    const uint64_t packageBytes = output->written();
    Status status = written.ok() ? output->Commit() : written.TakeError();
    if (!status.ok()) {
      console.err << "brxpack: " << status.error() << "\n";
      return kExitBadInput;
    }
    Summarize(Utf8FromPath(packagePath), *written, *plan, packageBytes, console);
    if (!stub) return kExitOk;

    // The executable is made from the finished package file, exactly as the
    // exe command (and the installer's own builder mode) would.
    Result<MappedFile> package = MappedFile::Open(packagePath);
    if (!package.ok()) {
      console.err << "brxpack: " << package.error() << "\n";
      return kExitBadInput;
    }
    const brx::MemoryRange stubBytes = {stub->bytes.data(),
                                        static_cast<uint32_t>(stub->bytes.size())};
    status = WriteSelfApplying(stubBytes, package->range(), PathFromUtf8(options.exe));
    if (!status.ok()) {
      console.err << "brxpack: " << status.error() << "\n";
      return kExitBadInput;
    }
    console.out << "brxpack: wrote " << options.exe << "\n";
    return kExitOk;
  }

  // Only the executable: stub, package and trailer in one pass.
  Result<AtomicOutputFile> output = AtomicOutputFile::Create(PathFromUtf8(options.exe));
  if (!output.ok()) {
    console.err << "brxpack: " << output.error() << "\n";
    return kExitBadInput;
  }
  Status status = output->Write(stub->bytes.data(), stub->bytes.size());
  if (!status.ok()) {
    console.err << "brxpack: " << status.error() << "\n";
    return kExitBadInput;
  }
  ProgressMeter progress(console.err, console.errIsTerminal, "building", InputBytes(*plan));
  writerOptions.progress = &progress;
  Result<std::vector<WrittenEntry>> written = WritePackageStream(entries, writerOptions, *output);
  progress.Finish();
  const uint64_t packageBytes = output->written() - stub->bytes.size();
  if (!written.ok()) {
    status = written.TakeError();
  } else if (!FitsSelfApplying(stub->bytes.size(), packageBytes)) {
    status = Error{"the stub and the package together pass 4 GiB"};
  } else {
    status = WriteTrailer(static_cast<uint32_t>(stub->bytes.size()), *output);
    if (status.ok()) status = output->Commit();
  }
  if (!status.ok()) {
    console.err << "brxpack: " << status.error() << "\n";
    return kExitBadInput;
  }
  Summarize(options.exe, *written, *plan, packageBytes, console);
  return kExitOk;
}

}  // namespace brxpack
