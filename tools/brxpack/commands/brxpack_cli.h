#pragma once
// The whole tool behind main: parses the arguments and runs one command.
#include <string>
#include <vector>

#include "brxpack/host/console.h"

namespace brxpack {

// arguments: the program's name first, as main receives them. Gives the
// exit code: 0 done, 1 verification found damage, 2 bad use or bad input.
int RunBrxpack(const std::vector<std::string>& arguments, Console& console);

}  // namespace brxpack
