#pragma once
// The files a manifest names, before they have entry names.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "brxpack/manifest/manifest.h"

namespace brxpack {

struct FileCandidate {
  std::optional<std::string> entry;    // Windows-1251
  std::optional<std::string> install;  // Windows-1251; always set for payload folder files
  bool installGiven = false;           // by a [[file]] table, not derived from the payload folder
  std::filesystem::path source;
  std::string shown;  // the source as UTF-8, for messages
  std::string where;  // what messages name: the [[file]] table, or the payload file
  bool stored = false;
  uint64_t size = 0;
};

// The payload folder's files (sorted by path, installed under it) and then
// the [[file]] tables'; a [[file]] with the installed path (A to Z folded)
// of a payload folder file replaces that file, which is how a payload file
// gets settings of its own. Problems (a missing source, a name without a
// Windows-1251 form) are appended, one line each.
std::vector<FileCandidate> GatherFileCandidates(const Manifest& manifest,
                                                std::vector<std::string>& problems);

}  // namespace brxpack
