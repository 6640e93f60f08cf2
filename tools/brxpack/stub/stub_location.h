#pragma once
// Where the tool finds the installer's program when no --stub is given:
// the x86 stub PATCH.EXE beside itself (the Windows zip, the build trees),
// then ../share/<package>/PATCH.EXE (the installed layout, bin/brxpack); the
// x64 stub at x64/PATCH.EXE below each of those folders.
#include <filesystem>
#include <vector>

#include "brxpack/stub/stub_architecture.h"
#include "brxpack/result.h"

namespace brxpack {

// The places looked at, in order; none when the tool cannot find itself.
std::vector<std::filesystem::path> StubCandidates(StubArch arch);

// The first candidate that is a file; fails naming every place looked at.
Result<std::filesystem::path> FindStub(StubArch arch);

}  // namespace brxpack
