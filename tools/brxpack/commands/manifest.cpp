// brxpack manifest: a manifest that rebuilds an equivalent package.
#include "brxpack/commands/command.h"
#include "brxpack/host/host_path.h"
#include "brxpack/host/output_file.h"
#include "brxpack/host/output_guard.h"
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
  // package itself does not hold; its icon goes beside the manifest.
  std::filesystem::path iconPath;
  if (!options.output.empty()) {
    iconPath = std::filesystem::path(options.output).replace_extension(".ico");
    if (iconPath == options.output) iconPath += ".ico";
  }
  const uint32_t stubSize = opened->package().packageStart;
  RecoveredBrand brand;
  if (stubSize > 0) {
    brand = RecoverBrand({opened->file.file.range().data, stubSize},
                         iconPath.empty() ? "" : Utf8FromPath(iconPath.filename()));
  }
  manifest.text += brand.table;
  for (const std::string& warning : manifest.warnings) {
    Warn(console, opened->file.shown + ": " + warning);
  }
  if (!brand.table.empty() && options.output.empty()) {
    Warn(console, opened->file.shown +
                      ": the brand's icon is written only beside a manifest file; give -o FILE");
  }
  if (options.output.empty()) {
    console.out << manifest.text;
    return kExitOk;
  }
  std::vector<std::filesystem::path> outputs = {options.output};
  if (!brand.icon.empty()) outputs.push_back(iconPath);
  OutputInputs inputs;
  inputs.files.emplace_back(options.file, "the package");
  Status status = CheckOutputs(outputs, inputs);
  // The icon first: a manifest that names it is never left without it.
  if (status.ok() && !brand.icon.empty()) {
    status = WriteOutputFile(iconPath, brand.icon.data(), brand.icon.size());
  }
  if (status.ok())
    status = WriteOutputFile(options.output, manifest.text.data(), manifest.text.size());
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
