// brxpack brand: the installer's program with the manifest's [brand], on its
// own, for `exe --stub` and for its own MAKEEXE.
#include "brxpack/stub/brand.h"

#include "brxpack/commands/command.h"
#include "brxpack/host/host_path.h"
#include "brxpack/host/output_file.h"
#include "brxpack/host/output_guard.h"
#include "brxpack/manifest/manifest_parser.h"
#include "brxpack/stub/stub_file.h"

namespace brxpack {

namespace {

struct BrandOptions {
  std::filesystem::path manifest;
  std::filesystem::path output;
  StubOptions stub;
};

int RunBrand(const BrandOptions& options, Console& console) {
  Result<Manifest> manifest = ReadManifestFile(options.manifest);
  if (!manifest.ok()) return Refuse(console, manifest.error());
  if (!manifest->brand) {
    return Refuse(console, Utf8FromPath(options.manifest) + ": it has no [brand] table");
  }
  // Refused before any work: the output must not be the stub in use.
  const Status outputFine = CheckOutputs({options.output}, {});
  if (!outputFine.ok()) return Refuse(console, outputFine.error());
  Result<UnsignedStub> stub =
      LoadStub(options.stub.stub, ChooseArch(options.stub.arch, manifest->arch), console);
  if (!stub.ok()) return Refuse(console, stub.error());
  Status status = BrandStub(*stub, *manifest->brand, manifest->folder);
  if (!status.ok()) return Refuse(console, status.error());

  status = WriteOutputFile(options.output, stub->bytes.data(), stub->bytes.size());
  if (!status.ok()) return Refuse(console, status.error());
  console.out << "brxpack: wrote " << Utf8FromPath(options.output) << ": the installer as "
              << manifest->brand->product << " " << manifest->brand->version << ", "
              << stub->bytes.size() << " bytes\n";
  return kExitOk;
}

void AddOptions(CLI::App& parser, BrandOptions& options) {
  AddPath(parser, "MANIFEST", options.manifest, "The manifest file")->required();
  AddPath(parser, "-o,--output", options.output, "The program to write")->required();
  AddStubOptions(parser, options.stub, "", "the manifest's [target] arch, or x86");
}

}  // namespace

const Command kBrandCommand{
    "brand",
    "Write the installer's program with the manifest's [brand]: the publisher's version "
    "information and icon, for exe --stub and for its own MAKEEXE (build --exe applies the "
    "brand by itself).",
    Define<BrandOptions, AddOptions, RunBrand>};

}  // namespace brxpack
