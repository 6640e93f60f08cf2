#pragma once
// Paths of the installation steps: the target folder as discovery left it,
// followed directly by a stored relative name, as stored (no translation, no
// separator added). Every path a step hands to the system is made here.
#include "run/bounded_text.h"
#include "run/run_state.h"

namespace brx {

// False, with the path left empty, when the joined path does not fit (a
// folder of 512 characters or more never does, even with an empty name) or
// the run has no target folder: an empty folder must never turn a stored
// name into a path relative to the current directory.
bool JoinTargetPath(const RunState& run, const char* name, PathText* path);

}  // namespace brx
