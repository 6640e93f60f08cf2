#include "app/win32_message_loop.h"

namespace brx {
namespace {

void DispatchWaitingMessages(HWND window) {
  MSG message;
  while (PeekMessageA(&message, window, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace

void PumpMessagesUntilExit(HWND window, HANDLE workerThread, const WorkerState& workerState) {
  // Waited on only while the worker runs: an ended thread's handle stays
  // signalled and would turn the wait into a spin. A handle that cannot be
  // waited on (no thread was started) is dropped for the same reason.
  HANDLE running = workerThread;
  while (workerState.load() < kExit) {
    // Drain first: the wait below wakes only for input that arrives after
    // the queue was last looked at.
    DispatchWaitingMessages(window);
    if (workerState.load() >= kExit) break;
    DWORD count = running != nullptr ? 1 : 0;
    DWORD woke = MsgWaitForMultipleObjects(count, &running, FALSE, INFINITE, QS_ALLINPUT);
    if (count == 1 && (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED)) running = nullptr;
  }
}

}  // namespace brx
