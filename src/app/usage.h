#pragma once
#include "system/system.h"

namespace brx {

// Shows how PATCH.EXE is meant to be called, in the status line: the one
// text for every package that cannot be opened and for a command line that
// asks for no known mode.
void ShowUsage(System& system);

}  // namespace brx
