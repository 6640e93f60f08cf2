// PATCH.EXE's entry: the window thread. It opens the progress window, starts
// the worker thread, which does the whole run, and serves the window until
// the run is over. Every outcome ends with exit code 0.
#include <process.h>
#include <windows.h>

#include "app/win32_dll_search.h"
#include "app/win32_message_loop.h"
#include "app/worker.h"
#include "resources/resource_ids.h"
#include "run/user_texts.h"
#include "run/worker_state.h"
#include "system/win32_system.h"

namespace {

constexpr unsigned kWorkerStackSize = 65536;

// Shared by the two threads. The dialog procedure reaches them only this
// way: the dialog's initial parameter is 0. The window's handle is written
// before the worker starts and outlives it.
brx::WorkerState workerState{brx::kRunning};
HWND progressWindow = nullptr;

void CentreOnScreen(HWND window) {
  RECT frame;
  GetWindowRect(window, &frame);
  int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  // Signed division truncating toward zero, as C++'s own.
  int x = (frame.left + screenWidth - frame.right) / 2;
  int y = (frame.top + screenHeight - frame.bottom) / 2;
  SetWindowPos(window, nullptr, x, y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK ProgressDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      // Drop the template's placeholder texts.
      SetDlgItemTextA(window, BRX_CONTROL_STATUS, "");
      SetDlgItemTextA(window, BRX_CONTROL_SECOND_LINE, "");
      SetDlgItemTextA(window, IDOK, brx::kButtonTextInitial);
      CentreOnScreen(window);
      return FALSE;  // the system sets no keyboard focus
    case WM_COMMAND:
      // Only a click on the button of a finished run ends the program; the
      // close box (IDCANCEL) and a click while the worker runs do nothing.
      if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDOK &&
          workerState.load() != brx::kRunning) {
        workerState.store(brx::kExit);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

unsigned __stdcall WorkerThread(void* commandLine) {
  {
    brx::Win32System system(progressWindow);
    brx::RunWorker(system, static_cast<const char*>(commandLine), workerState);
  }
  _endthreadex(0);
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // Before anything can load a DLL by bare name.
  brx::RestrictDllSearch();
  workerState.store(brx::kRunning);
  // The template is not visible: WM_INITDIALOG fills and centres it first.
  progressWindow = CreateDialogParamA(instance, MAKEINTRESOURCEA(BRX_DIALOG_PROGRESS), nullptr,
                                      ProgressDialogProc, 0);
  ShowWindow(progressWindow, SW_SHOW);
  HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(BRX_ICON_PROGRAM));
  SendMessageA(progressWindow, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  SendMessageA(progressWindow, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  // The worker shows the button, reading "OK", when its run is over.
  ShowWindow(GetDlgItem(progressWindow, IDOK), SW_HIDE);

  HANDLE worker = reinterpret_cast<HANDLE>(
      _beginthreadex(nullptr, kWorkerStackSize, WorkerThread, GetCommandLineA(), 0, nullptr));
  brx::PumpMessagesUntilExit(progressWindow, worker, workerState);
  // Past kExit the worker makes no window call, so it can end unserved.
  WaitForSingleObject(worker, INFINITE);
  CloseHandle(worker);
  DestroyWindow(progressWindow);
  return 0;
}
