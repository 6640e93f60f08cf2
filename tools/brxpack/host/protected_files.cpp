#include "brxpack/host/protected_files.h"

#include <mutex>
#include <system_error>
#include <utility>
#include <vector>

#include "brxpack/host/host_path.h"

namespace brxpack {

namespace {

// Written by the command's own thread before it writes; read by the
// threads that extract side by side.
std::mutex guard;
std::vector<std::pair<std::filesystem::path, std::string>> protectedFiles;

}  // namespace

void ProtectFromOutputs(const std::filesystem::path& file, const std::string& what) {
  std::error_code error;
  if (!std::filesystem::exists(file, error)) return;
  const std::lock_guard<std::mutex> lock(guard);
  protectedFiles.emplace_back(std::filesystem::absolute(file, error), what);
}

Status CheckNotProtected(const std::filesystem::path& output) {
  const std::lock_guard<std::mutex> lock(guard);
  if (protectedFiles.empty()) return Status::Ok();
  std::error_code error;
  // Only an existing output can be one of them.
  if (!std::filesystem::exists(output, error)) return Status::Ok();
  for (const auto& [file, what] : protectedFiles) {
    if (std::filesystem::equivalent(file, output, error)) {
      return Error{Utf8FromPath(output) + ": it is " + what + " (" + Utf8FromPath(file) +
                   "), which brxpack never writes over: give another output"};
    }
  }
  return Status::Ok();
}

OutputProtectionScope::~OutputProtectionScope() {
  const std::lock_guard<std::mutex> lock(guard);
  protectedFiles.clear();
}

}  // namespace brxpack
