#pragma once
// The stub of a self-applying executable: the installer's program, given
// with --stub or found where stub_location.h looks, without its signature.
#include <filesystem>

#include "brxpack/stub/authenticode.h"
#include "brxpack/stub/stub_architecture.h"
#include "brxpack/host/console.h"
#include "brxpack/result.h"

namespace brxpack {

// Reads the stub (`given`, or the chosen architecture's where the tool looks
// by itself) and takes off its Authenticode signature, saying so on the
// console. Fails for a missing file, bytes that are no stub, and a stub for
// another architecture than the chosen one.
Result<UnsignedStub> LoadStub(const std::filesystem::path& given, const ArchChoice& arch,
                              Console& console);

}  // namespace brxpack
