#pragma once
// The self-applying executable: the stub, the package and the 8-byte
// trailer that holds the stub's size and "BRDX" — the layout the installer's
// own builder mode writes.
#include <cstdint>
#include <filesystem>
#include <string>

#include "brxpack/host/output_file.h"
#include "brxpack/result.h"
#include "package/memory_range.h"

namespace brxpack {

// Appends the trailer of a package that starts at packageStart.
Status WriteTrailer(uint32_t packageStart, AtomicOutputFile& output);

// Fails when a stub of this size cannot carry a package of this size: the
// whole file must stay below 4 GiB, as the installer reads 32-bit sizes.
Status CheckSelfApplyingSize(uint64_t stubSize, uint64_t packageSize);

// Writes stub, package and trailer to the output's name, atomically.
Status WriteSelfApplying(brx::MemoryRange stub, brx::MemoryRange package,
                         const std::filesystem::path& output);

}  // namespace brxpack
