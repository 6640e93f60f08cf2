#pragma once
// A new folder under the system's temporary folder, removed with everything
// in it when the object goes, or when the process is interrupted
// (interrupt_cleanup.h), unless it is kept.
#include <filesystem>
#include <string>

#include "brxpack/result.h"

namespace brxpack {

class ScratchFolder {
 public:
  // prefix: the start of the folder's name ("brxpack-simulate-").
  static Result<ScratchFolder> Create(const std::string& prefix);

  ScratchFolder(ScratchFolder&& other) noexcept;  // no copies, no assignment
  ~ScratchFolder();

  const std::filesystem::path& path() const { return path_; }
  void Keep();

 private:
  explicit ScratchFolder(std::filesystem::path path);
  std::filesystem::path path_;
  int cleanupSlot_ = -1;  // see interrupt_cleanup.h
};

}  // namespace brxpack
