// brxpack exe: the self-applying executable from a package file.
#include "brxpack/authoring/self_applying.h"
#include "brxpack/authoring/stub_file.h"
#include "brxpack/commands/commands.h"
#include "brxpack/commands/exit_codes.h"
#include "brxpack/host/host_path.h"
#include "brxpack/reading/package_file.h"

namespace brxpack {

int RunExe(const ExeOptions& options, Console& console) {
  Result<PackageFile> package = MapPackageFile(PathFromUtf8(options.package));
  if (!package.ok()) {
    console.err << "brxpack: " << package.error() << "\n";
    return kExitBadInput;
  }
  if (package->source != brx::PackageSource::kPackageFile) {
    console.err << "brxpack: " << package->shown
                << ": not a package file (it does not begin with the package header)\n";
    return kExitBadInput;
  }
  // The installer would refuse a damaged package; better to know now.
  const ParsedPackage parsed(*package);
  if (!parsed.ok()) {
    console.err << "brxpack: " << package->shown
                << ": the installer would refuse it: " << DescribePackageError(parsed.error())
                << "\n";
    return kExitBadInput;
  }
  Result<UnsignedStub> stub = LoadStub(options.stub, console);
  if (!stub.ok()) {
    console.err << "brxpack: " << stub.error() << "\n";
    return kExitBadInput;
  }
  const brx::MemoryRange stubBytes = {stub->bytes.data(),
                                      static_cast<uint32_t>(stub->bytes.size())};
  const Status status =
      WriteSelfApplying(stubBytes, package->file.range(), PathFromUtf8(options.output));
  if (!status.ok()) {
    console.err << "brxpack: " << status.error() << "\n";
    return kExitBadInput;
  }
  console.out << "brxpack: wrote " << options.output << ": stub " << stubBytes.size
              << " bytes, package " << package->file.size() << " bytes, trailer 8 bytes\n";
  return kExitOk;
}

}  // namespace brxpack
