#include "brxpack/stub/stub_location.h"

#include "brx_version.h"
#include "brxpack/host/host_path.h"
#include "brxpack/host/process_environment.h"

namespace brxpack {

std::vector<std::filesystem::path> StubCandidates(StubArch arch) {
  const std::optional<std::filesystem::path> own = OwnExecutablePath();
  if (!own) return {};
  const std::filesystem::path beside = own->parent_path();
  const std::filesystem::path shared =
      (beside.parent_path() / "share" / BRX_PACKAGE_NAME).lexically_normal();
  if (arch == StubArch::kX64) return {beside / "x64" / "PATCH.EXE", shared / "x64" / "PATCH.EXE"};
  return {beside / "PATCH.EXE", shared / "PATCH.EXE"};
}

Result<std::filesystem::path> FindStub(StubArch arch) {
  const std::vector<std::filesystem::path> candidates = StubCandidates(arch);
  std::string looked;
  for (const std::filesystem::path& candidate : candidates) {
    std::error_code error;
    if (std::filesystem::is_regular_file(candidate, error)) return candidate;
    looked += (looked.empty() ? "" : ", ") + Utf8FromPath(candidate);
  }
  if (candidates.empty()) looked = "the tool cannot tell where it is installed";
  return Error{std::string("no ") + ArchName(arch) + " stub found (looked at " + looked +
               "): give the installer's program with --stub PATCH.EXE"};
}

}  // namespace brxpack
