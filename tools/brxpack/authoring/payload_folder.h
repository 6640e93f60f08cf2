#pragma once
// The files of a payload folder, each to become a file entry installed under
// its path relative to the folder.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "brxpack/result.h"

namespace brxpack {

struct PayloadFile {
  std::string relative;  // UTF-8, components joined by "/"
  std::filesystem::path path;
  uint64_t size = 0;
};

// Every regular file below the folder (links to files followed), sorted by
// relative path so that a build is reproducible. `where` names the manifest
// field in messages.
Result<std::vector<PayloadFile>> ScanPayloadFolder(const std::filesystem::path& folder,
                                                   const std::string& where);

// The same walk, with the folders it passed (relative, "/", sorted): what
// two releases are compared by, since a folder can appear or go without a
// file.
struct PayloadTree {
  std::vector<PayloadFile> files;
  std::vector<std::string> folders;
};
Result<PayloadTree> ScanPayloadTree(const std::filesystem::path& folder, const std::string& where);

}  // namespace brxpack
