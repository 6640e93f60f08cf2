#pragma once
// How a folder an installation left differs from the folder it should
// equal: file names and contents as they are, folders as Windows sees them
// (the installer cannot change a folder's case, so a case change there is
// no difference). A ".bak" file is a backup the installation left behind;
// only what the caller's filter names is passed over.
#include <filesystem>
#include <string>
#include <vector>

#include "brxpack/result.h"

namespace brxpack {

// True for a relative path (backslashes) that neither side is judged by;
// a folder it names is passed over with everything below it.
using PassedOver = bool (*)(const std::string& relative);

// One line per difference, "PATH: what", PATH relative with backslashes;
// sorted by path. Fails when either folder cannot be listed or read.
Result<std::vector<std::string>> CompareTrees(const std::filesystem::path& result,
                                              const std::filesystem::path& expected,
                                              PassedOver passedOver = nullptr);

}  // namespace brxpack
