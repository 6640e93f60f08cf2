#pragma once
// One file entry installed under its installed name. The file standing there
// waits under its backup name until its successor is complete, and is put
// back when the successor cannot be written.
#include "package/format.h"
#include "run/run_state.h"
#include "system/system.h"

namespace brx {

// Installs one file entry (a name that does not begin with ':'), showing its
// progress and its result in the status line. A failed file marks the run
// failed. True when the new file was written whole.
bool ReplaceFile(System& system, RunState& run, const DirectoryEntry& entry);

}  // namespace brx
