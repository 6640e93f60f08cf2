#pragma once
// The self-applying executable: the stub, the package and the 8-byte
// trailer that holds the stub's size and "BRDX", the layout the installer's
// own builder mode writes. The stub is the installer's program, given with
// --stub or found by the tool itself, without its signature. Without
// --stub the tool looks for the x86 stub PATCH.EXE beside itself (the
// Windows zip, the build trees), then at ../share/<package>/PATCH.EXE (the
// installed layout, bin/brxpack); for the x64 stub at x64/PATCH.EXE below
// each of those folders.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "brxpack/stub/authenticode.h"
#include "brxpack/stub/stub_architecture.h"
#include "brxpack/host/console.h"
#include "brxpack/host/output_file.h"
#include "brxpack/result.h"
#include "package/memory_range.h"

namespace brxpack {

// The places looked at, in order; none when the tool cannot find itself.
std::vector<std::filesystem::path> StubCandidates(StubArch arch);

// The first candidate that is a file; fails naming every place looked at.
Result<std::filesystem::path> FindStub(StubArch arch);

// Reads the stub (`given`, or the chosen architecture's where the tool looks
// by itself) and takes off its Authenticode signature, saying so on the
// console. Fails for a missing file, bytes that are no stub, and a stub for
// another architecture than the chosen one.
Result<UnsignedStub> LoadStub(const std::filesystem::path& given, const ArchChoice& arch,
                              Console& console);

// The version of a stub from its own version resource: "1.1.0.0"; fails for
// a file that cannot be read, is no Windows program or carries no version
// information.
Result<std::string> StubVersion(const std::filesystem::path& stub);

// Appends the trailer of a package that starts at packageStart.
Status WriteTrailer(uint32_t packageStart, AtomicOutputFile& output);

// Fails when a stub of this size cannot carry a package of this size: the
// whole file must stay below 4 GiB, as the installer reads 32-bit sizes.
Status CheckSelfApplyingSize(uint64_t stubSize, uint64_t packageSize);

// Writes stub, package and trailer to the output's name, atomically.
Status WriteSelfApplying(brx::MemoryRange stub, brx::MemoryRange package,
                         const std::filesystem::path& output);

}  // namespace brxpack
