#pragma once
// The stub of a self-applying executable: the installer's program, given
// with --stub or found where stub_location.h looks, without its signature.
#include <string>

#include "brxpack/authoring/authenticode.h"
#include "brxpack/host/console.h"
#include "brxpack/result.h"

namespace brxpack {

// Reads the stub and takes off its Authenticode signature, saying so on
// the console. Fails for a missing file or bytes that are no PE image.
Result<UnsignedStub> LoadStub(const std::string& given, Console& console);

}  // namespace brxpack
