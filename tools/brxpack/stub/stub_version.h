#pragma once
// The version of an installer's program, from its own version resource.
#include <filesystem>
#include <string>

#include "brxpack/result.h"

namespace brxpack {

// "1.1.0.0"; fails for a file that cannot be read, is no Windows program or
// carries no version information.
Result<std::string> StubVersion(const std::filesystem::path& stub);

}  // namespace brxpack
