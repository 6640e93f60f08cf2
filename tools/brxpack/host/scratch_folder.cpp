#include "brxpack/host/scratch_folder.h"

#include <random>
#include <system_error>
#include <utility>

#include "brxpack/host/host_path.h"
#include "brxpack/host/interrupt_cleanup.h"

namespace brxpack {

Result<ScratchFolder> ScratchFolder::Create(const std::string& prefix) {
  std::error_code error;
  const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
  if (error) return Error{"no temporary folder: " + SystemErrorText(error)};
  std::random_device random;
  // A name another process took first is simply not ours: try another.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path path =
        temporary / PathFromUtf8(prefix + std::to_string(random() % 1000000000u));
    if (std::filesystem::create_directory(path, error)) return ScratchFolder(path);
    if (error) break;
  }
  return Error{Utf8FromPath(temporary) + ": cannot make a folder there" +
               (error ? ": " + SystemErrorText(error) : std::string())};
}

ScratchFolder::ScratchFolder(std::filesystem::path path)
    : path_(std::move(path)), cleanupSlot_(RegisterTemporary(path_)) {}

ScratchFolder::ScratchFolder(ScratchFolder&& other) noexcept
    : path_(std::move(other.path_)), cleanupSlot_(std::exchange(other.cleanupSlot_, -1)) {
  other.path_.clear();
}

void ScratchFolder::Keep() {
  ReleaseTemporary(std::exchange(cleanupSlot_, -1));
  path_.clear();
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;  // a folder that cannot go stays where the user can see it
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  // Released only now: an interruption while it is being removed still finishes the job.
  ReleaseTemporary(std::exchange(cleanupSlot_, -1));
}

}  // namespace brxpack
