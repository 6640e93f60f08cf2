// brxpack --version: the tool's version, and the stub it would use.
#include "brx_version.h"
#include "brxpack/authoring/stub_location.h"
#include "brxpack/authoring/stub_version.h"
#include "brxpack/commands/commands.h"
#include "brxpack/host/host_path.h"

namespace brxpack {

std::string VersionReport() {
  std::string report = "brxpack " BRX_VERSION_TEXT "\n";
  const Result<std::filesystem::path> stub = FindStub();
  if (!stub.ok()) return report + "stub: " + stub.error();
  const Result<std::string> version = StubVersion(*stub);
  return report + "stub: " + Utf8FromPath(*stub) + ", " +
         (version.ok() ? "version " + *version : "version unknown: " + version.error());
}

}  // namespace brxpack
