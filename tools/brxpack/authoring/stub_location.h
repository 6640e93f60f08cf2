#pragma once
// Where the tool finds the installer's program when no --stub is given:
// PATCH.EXE beside itself (the Windows zip, the win32 build tree), then
// ../share/<package>/PATCH.EXE (the installed layout, bin/brxpack).
#include <filesystem>
#include <vector>

#include "brxpack/result.h"

namespace brxpack {

// The places looked at, in order; none when the tool cannot find itself.
std::vector<std::filesystem::path> StubCandidates();

// The first candidate that is a file; fails naming every place looked at.
Result<std::filesystem::path> FindStub();

}  // namespace brxpack
