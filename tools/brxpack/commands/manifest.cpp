// brxpack manifest: a manifest that rebuilds an equivalent package.
#include "brxpack/host/output_guard.h"
#include "brxpack/commands/command.h"
#include "brxpack/commands/refuse.h"
#include "brxpack/host/host_path.h"
#include "brxpack/host/output_file.h"
#include "brxpack/reading/brand_recovery.h"
#include "brxpack/reading/manifest_export.h"
#include "brxpack/reading/package_file.h"

namespace brxpack {

namespace {

struct ManifestOptions {
  std::filesystem::path file;
  std::filesystem::path output;     // empty: standard output
  std::string payload = "payload";  // the folder the manifest takes file bytes from
};

int RunManifest(const ManifestOptions& options, Console& console) {
  Result<OpenedPackage> opened = OpenPackageForReading(options.file);
  if (!opened.ok()) return Refuse(console, opened.error());
  ExportedManifest manifest =
      ExportManifest(opened->package(), opened->file.shown, options.payload);
  // An executable's installer may carry the publisher's brand, which the
  // package itself does not hold.
  const uint32_t stubSize = opened->package().packageStart;
  if (stubSize > 0) manifest.text += RecoveredBrand({opened->file.file.range().data, stubSize});
  for (const std::string& warning : manifest.warnings) {
    Warn(console, opened->file.shown + ": " + warning);
  }
  if (options.output.empty()) {
    console.out << manifest.text;
    return kExitOk;
  }
  OutputInputs inputs;
  inputs.files.emplace_back(options.file, "the package");
  Status status = CheckOutputs({options.output}, inputs);
  if (!status.ok()) return Refuse(console, status.error());
  Result<AtomicOutputFile> output = AtomicOutputFile::Create(options.output);
  status =
      output.ok() ? output->Write(manifest.text.data(), manifest.text.size()) : output.TakeError();
  if (status.ok()) status = output->Commit();
  if (!status.ok()) return Refuse(console, status.error());
  return kExitOk;
}

void AddOptions(CLI::App& parser, ManifestOptions& options) {
  AddPath(parser, "FILE", options.file, "A package or a self-applying executable")->required();
  AddPath(parser, "-o,--output", options.output,
          "Write the manifest to this file instead of printing it");
  parser.add_option("--payload", options.payload,
                    "The folder, relative to the manifest, that holds the extracted files "
                    "(default: payload)");
}

}  // namespace

const Command kManifestCommand{
    "manifest",
    "Print a manifest that rebuilds an equivalent package from the files that extract writes.",
    Define<ManifestOptions, AddOptions, RunManifest>};

}  // namespace brxpack
