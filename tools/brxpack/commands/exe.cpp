// brxpack exe: the self-applying executable from a package file.
#include "brxpack/commands/command.h"
#include "brxpack/host/host_path.h"
#include "brxpack/host/output_guard.h"
#include "brxpack/reading/package_file.h"
#include "brxpack/stub/stub_file.h"

namespace brxpack {

namespace {

struct ExeOptions {
  std::filesystem::path package;
  std::filesystem::path output;
  StubOptions stub;  // the architecture's default is x86
};

int RunExe(const ExeOptions& options, Console& console) {
  OutputInputs inputs;
  inputs.files.emplace_back(options.package, "the package");
  if (!options.stub.stub.empty()) inputs.files.emplace_back(options.stub.stub, "the stub");
  const Status outputFine = CheckOutputs({options.output}, inputs);
  if (!outputFine.ok()) return Refuse(console, outputFine.error());
  Result<PackageFile> package = MapPackageFile(options.package);
  if (!package.ok()) return Refuse(console, package.error());
  if (package->source != brx::PackageSource::kPackageFile) {
    return Refuse(console, package->shown +
                               ": not a package file (it does not begin with the package header)");
  }
  // The installer would refuse a damaged package; better to know now.
  const ParsedPackage parsed(*package);
  if (!parsed.ok()) {
    return Refuse(console, package->shown + ": the installer would refuse it: " +
                               DescribeRefusal(*package, parsed.error()));
  }
  Result<UnsignedStub> stub =
      LoadStub(options.stub.stub, ChooseArch(options.stub.arch, std::nullopt), console);
  if (!stub.ok()) return Refuse(console, stub.error());
  const Status status = WriteSelfApplying(stub->range(), package->file.range(), options.output);
  if (!status.ok()) return Refuse(console, status.error());
  if (console.quiet) return kExitOk;
  console.out << "brxpack: wrote " << Utf8FromPath(options.output) << ": stub "
              << stub->bytes.size() << " bytes, package " << package->file.size()
              << " bytes, trailer 8 bytes\n";
  return kExitOk;
}

void AddOptions(CLI::App& parser, ExeOptions& options) {
  AddPath(parser, "PACKAGE", options.package, "The package file")->required();
  AddPath(parser, "-o,--output", options.output, "The executable to write")->required();
  AddStubOptions(parser, options.stub, "", "x86");
}

}  // namespace

const Command kExeCommand{
    "exe",
    "Make the self-applying executable from a package: stub, package and trailer, as "
    "'PATCH.EXE PACKAGE OUT.exe MAKEEXE' does; a signed stub loses its signature first.",
    Define<ExeOptions, AddOptions, RunExe>};

}  // namespace brxpack
