#pragma once
// How a command ends: its exit code, the reason when it cannot go on, and
// how it warns.
#include <string>

#include "brxpack/host/console.h"

namespace brxpack {

inline constexpr int kExitOk = 0;
inline constexpr int kExitDamaged = 1;    // verification found damage
inline constexpr int kExitRunFailed = 1;  // a simulated installation failed or gave another result
inline constexpr int kExitBadInput = 2;   // bad use, or input that cannot be used

// Prints the reason on the error stream, each of its lines behind
// "brxpack: ", and gives the exit code (bad input unless said otherwise).
int Refuse(Console& console, const std::string& reason, int exitCode = kExitBadInput);

// Prints "brxpack: warning: " and the text on the error stream.
void Warn(Console& console, const std::string& text);

}  // namespace brxpack
