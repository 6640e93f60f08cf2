#include "brxpack/authoring/stub_location.h"

#include "brx_version.h"
#include "brxpack/host/host_path.h"
#include "brxpack/host/process_environment.h"

namespace brxpack {

std::vector<std::filesystem::path> StubCandidates() {
  const std::optional<std::filesystem::path> own = OwnExecutablePath();
  if (!own) return {};
  const std::filesystem::path folder = own->parent_path();
  return {folder / "PATCH.EXE",
          (folder.parent_path() / "share" / BRX_PACKAGE_NAME / "PATCH.EXE").lexically_normal()};
}

Result<std::filesystem::path> FindStub() {
  const std::vector<std::filesystem::path> candidates = StubCandidates();
  std::string looked;
  for (const std::filesystem::path& candidate : candidates) {
    std::error_code error;
    if (std::filesystem::is_regular_file(candidate, error)) return candidate;
    looked += (looked.empty() ? "" : ", ") + Utf8FromPath(candidate);
  }
  if (candidates.empty()) looked = "the tool cannot tell where it is installed";
  return Error{"no stub found (looked at " + looked +
               "): give the installer's program with --stub PATCH.EXE"};
}

}  // namespace brxpack
