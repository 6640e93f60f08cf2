#pragma once
#include "run/worker_state.h"
#include "system/system.h"

namespace brx {

// One whole run of the worker thread: splits the command line, chooses the
// mode, builds a self-applying executable or applies a package, and ends in
// CloseInstallation, whose last act is the one store of workerState
// (kFinished or kExit). No window call follows that store.
void RunWorker(System& system, const char* commandLine, WorkerState& workerState);

}  // namespace brx
