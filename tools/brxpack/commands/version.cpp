// brxpack --version: the tool's version, and the stubs it would use.
#include "brx_version.h"
#include "brxpack/stub/stub_file.h"
#include "brxpack/commands/command.h"
#include "brxpack/host/host_path.h"
#include "brxpack/host/mapped_file.h"

namespace brxpack {

namespace {

// Nothing for a stub of the architecture its place holds; else why it is
// not one.
std::string Mismatch(const std::filesystem::path& stub, StubArch arch) {
  Result<MappedFile> file = MappedFile::Open(stub);
  if (!file.ok() || !file->FitsIn32Bits()) return "";  // StubVersion has said why
  const Result<StubArch> found = ArchOfImage(file->range());
  if (!found.ok()) return "; but it is no stub: " + found.error();
  if (*found != arch) return "; but it is " + DescribeArch(*found);
  return "";
}

// "stub x64: PATH, version 1.1.0.0", or why there is none or it is no x64 stub.
std::string StubLine(StubArch arch) {
  const std::string line = std::string("stub ") + ArchName(arch) + ": ";
  const Result<std::filesystem::path> stub = FindStub(arch);
  if (!stub.ok()) return line + stub.error();
  const std::string shown = Utf8FromPath(*stub);
  const Result<std::string> version = StubVersion(*stub);
  const std::string versionText =
      version.ok() ? "version " + *version : "version unknown: " + version.error();
  return line + shown + ", " + versionText + Mismatch(*stub, arch);
}

}  // namespace

std::string VersionReport() {
  return "brxpack " BRX_VERSION_TEXT "\n" + StubLine(StubArch::kX86) + "\n" +
         StubLine(StubArch::kX64);
}

}  // namespace brxpack
