#pragma once
// How a command ends when it cannot go on, and how it warns.
#include <string>

#include "brxpack/commands/exit_codes.h"
#include "brxpack/host/console.h"

namespace brxpack {

// Prints the reason on the error stream, each of its lines behind
// "brxpack: ", and gives the exit code (bad input unless said otherwise).
int Refuse(Console& console, const std::string& reason, int exitCode = kExitBadInput);

// Prints "brxpack: warning: " and the text on the error stream.
void Warn(Console& console, const std::string& text);

}  // namespace brxpack
