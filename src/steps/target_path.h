#pragma once
// Paths of the installation steps: the run's target folder followed directly
// by a stored relative name, as stored (no translation, no separator added).
#include "run/bounded_text.h"
#include "run/run_state.h"

namespace brx {

// False, with the path left empty, when the joined path does not fit or the
// run has no target folder copy (the folder itself did not fit): an empty
// folder must never turn a stored name into a path relative to the current
// directory.
bool JoinTargetPath(const RunState& run, const char* name, PathText* path);

}  // namespace brx
