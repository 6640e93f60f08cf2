#pragma once
#include "system/system.h"

namespace brx {

// Writes a self-applying executable: the stub's bytes, the package file's
// bytes and the trailer that points at the package. Nothing of either input
// is checked. A stub plus package too large for the trailer's 32-bit numbers
// fails before the output exists; a failure after the output was created,
// a disk that fills up while it is written among them, deletes it, so no
// half-written executable is left behind. True when the output was
// written; the run ends after it either way.
bool BuildSelfApplying(System& system, const char* stubFile, const char* packageFile,
                       const char* outputFile);

}  // namespace brx
