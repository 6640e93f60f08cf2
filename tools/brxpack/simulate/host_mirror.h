#pragma once
// Simulate's mounted folders on the host: each ANSI name is the host's
// UTF-8 spelling of its Windows-1251 bytes, files are read where they are,
// and every change the simulated Windows makes is made there too.
#include <memory>

#include "brxpack/simulate/simulated_windows.h"

namespace brxpack {

std::unique_ptr<HostMirror> MakeHostMirror();

}  // namespace brxpack
