#pragma once
#include <windows.h>

#include "run/worker_state.h"

namespace brx {

// The window thread's message loop: serves the progress window's messages
// until workerState is kExit. It sleeps between messages instead of polling,
// and wakes for every message posted or sent to the thread (a worker's
// SetDlgItemTextA, ShowWindow or owned MessageBoxA is served at once) and
// when the worker thread ends, which is how it learns of a kExit the worker
// stored without posting anything.
void PumpMessagesUntilExit(HWND window, HANDLE workerThread, const WorkerState& workerState);

}  // namespace brx
