#pragma once
// Real windows for the Win32 tests, owned by the calling thread.
#include <windows.h>

#include <string>

#include "run/worker_state.h"

namespace brx {

// A stand-in for the progress window: a hidden top-level window holding the
// status line (1000) and the hidden button (1). Its procedure plays the
// dialog's part in the run's end: a click on the button of a finished run
// stores kExit. After 20 seconds its timer wakes the message loop and
// stores kExit, so a loop that does not return by itself is stopped.
class TestProgressWindow {
 public:
  static constexpr UINT kPing = WM_APP + 1;  // answers 1 when served

  explicit TestProgressWindow(WorkerState& workerState);
  ~TestProgressWindow();
  TestProgressWindow(const TestProgressWindow&) = delete;
  TestProgressWindow& operator=(const TestProgressWindow&) = delete;

  HWND window() const { return window_; }
  WorkerState& workerState() const { return workerState_; }
  std::string StatusText() const;
  std::string ButtonText() const;
  bool ButtonVisible() const;  // its own WS_VISIBLE: the window itself stays hidden

  int clicks = 0;  // clicks that ended a finished run

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  WorkerState& workerState_;
  HWND window_ = nullptr;
};

// Answers every message box that the calling thread opens while it lives,
// and records the last one's owner, caption and buttons. (Its text and icon
// are the e2e window scenario's.)
class MessageBoxAnswerer {
 public:
  explicit MessageBoxAnswerer(int answer);
  ~MessageBoxAnswerer();
  MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
  MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

  int boxes = 0;
  HWND owner = nullptr;
  std::string caption;
  bool hasCancel = false;

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
  void Answer(HWND box);

  int answer_;
  HHOOK hook_ = nullptr;
};

// A thread running a function, joined (bounded) on destruction.
class TestThread {
 public:
  using Body = void (*)(void* context);
  TestThread(Body body, void* context);
  ~TestThread();
  TestThread(const TestThread&) = delete;
  TestThread& operator=(const TestThread&) = delete;

  HANDLE handle() const { return handle_; }
  // Waits for the end, at most timeoutMs; false when it is still running.
  bool Join(DWORD timeoutMs);

 private:
  static DWORD WINAPI Start(void* self);

  Body body_;
  void* context_;
  HANDLE handle_ = nullptr;
};

}  // namespace brx
