#pragma once
// How a command ends when it cannot go on, and how it warns.
#include <string>

#include "brxpack/host/console.h"

namespace brxpack {

// Prints the reason on the error stream, each of its lines behind
// "brxpack: ", and gives the bad-input exit code (exit_codes.h).
int Refuse(Console& console, const std::string& reason);

// Prints "brxpack: warning: " and the text on the error stream.
void Warn(Console& console, const std::string& text);

}  // namespace brxpack
