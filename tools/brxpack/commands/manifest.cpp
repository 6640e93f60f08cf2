// brxpack manifest: a manifest that rebuilds an equivalent package.
#include "brxpack/commands/commands.h"
#include "brxpack/commands/exit_codes.h"
#include "brxpack/host/host_path.h"
#include "brxpack/host/output_file.h"
#include "brxpack/reading/manifest_export.h"
#include "brxpack/reading/package_file.h"

namespace brxpack {

int RunManifest(const ManifestOptions& options, Console& console) {
  Result<OpenedPackage> opened = OpenPackageForReading(PathFromUtf8(options.file));
  if (!opened.ok()) {
    console.err << "brxpack: " << opened.error() << "\n";
    return kExitBadInput;
  }
  const ExportedManifest manifest =
      ExportManifest(opened->package(), opened->file.shown, options.payload);
  for (const std::string& warning : manifest.warnings) {
    console.err << "brxpack: warning: " << opened->file.shown << ": " << warning << "\n";
  }
  if (options.output.empty()) {
    console.out << manifest.text;
    return kExitOk;
  }
  Result<AtomicOutputFile> output = AtomicOutputFile::Create(PathFromUtf8(options.output));
  Status status =
      output.ok() ? output->Write(manifest.text.data(), manifest.text.size()) : output.TakeError();
  if (status.ok()) status = output->Commit();
  if (!status.ok()) {
    console.err << "brxpack: " << status.error() << "\n";
    return kExitBadInput;
  }
  return kExitOk;
}

}  // namespace brxpack
