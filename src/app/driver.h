#pragma once
// The installation driver: the fixed order of the phases and the common end
// of every run.
#include "package/reader.h"
#include "run/run_state.h"
#include "run/worker_state.h"
#include "system/system.h"

namespace brx {

// Opens the package and runs the phases in their fixed order. Opening, target
// discovery and confirmation may end the run early; from the name table on
// every phase runs. What the run holds stays for CloseInstallation.
void ApplyPackage(System& system, RunState& run, const char* packageFile, PackageSource source);

// The common end of every run: releases the package, shows the "OK" button
// and then, as the worker's last touch of shared state, stores kFinished (the
// window waits for the click) or kExit. The window thread stops serving calls
// once it sees kExit, so no window call may follow the store.
void CloseInstallation(System& system, RunState& run, WorkerState& workerState);

}  // namespace brx
