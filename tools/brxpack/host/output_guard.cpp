#include "brxpack/host/output_guard.h"

#include <algorithm>
#include <mutex>
#include <set>
#include <system_error>
#include <utility>

#include "brxpack/host/host_path.h"

namespace brxpack {

namespace {

// Written by the command's own thread before it writes; read by the
// threads that extract side by side.
std::mutex guard;
std::vector<std::pair<std::filesystem::path, std::string>> protectedFiles;

std::filesystem::path Resolved(const std::filesystem::path& path) {
  std::error_code error;
  std::filesystem::path resolved = std::filesystem::weakly_canonical(path, error);
  return error ? std::filesystem::absolute(path, error).lexically_normal() : resolved;
}

// The last names equal but for the case of ASCII letters: a cheap first
// test before asking the system.
bool SameName(const std::filesystem::path& a, const std::filesystem::path& b) {
  const std::filesystem::path left = a.filename();
  const std::filesystem::path right = b.filename();
  const auto lower = [](auto c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
  return std::equal(left.native().begin(), left.native().end(), right.native().begin(),
                    right.native().end(), [&](auto x, auto y) { return lower(x) == lower(y); });
}

}  // namespace

bool LiesInside(const std::filesystem::path& path, const std::filesystem::path& folder) {
  const std::filesystem::path inner = Resolved(path);
  const std::filesystem::path outer = Resolved(folder);
  const auto [end, rest] = std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end());
  return end == outer.end() && rest != inner.end();
}

Status CheckOutputs(const std::vector<std::filesystem::path>& outputs, const OutputInputs& inputs) {
  std::set<std::filesystem::path> seen;  // the outputs checked so far, resolved
  for (const std::filesystem::path& output : outputs) {
    const std::filesystem::path resolved = Resolved(output);
    const std::string shown = Utf8FromPath(output);
    Status allowed = CheckNotProtected(output);
    if (!allowed.ok()) return allowed;
    // Only an existing output can be an input; the name is compared first so
    // that a build of many files asks the system about few of them.
    std::error_code error;
    const bool exists = std::filesystem::exists(output, error);
    for (const auto& [input, what] : inputs.files) {
      if (exists && SameName(input, output) && std::filesystem::equivalent(input, output, error)) {
        return Error{shown + ": the output would overwrite " + what};
      }
    }
    for (const std::filesystem::path& folder : inputs.folders) {
      if (LiesInside(resolved, folder)) {
        return Error{shown + ": the output would lie inside the " + inputs.folderKind + " " +
                     Utf8FromPath(folder) + ", whose every file the next " + inputs.folderReader};
      }
    }
    if (!seen.insert(resolved).second) return Error{shown + ": named as two outputs at once"};
  }
  return Status::Ok();
}

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
