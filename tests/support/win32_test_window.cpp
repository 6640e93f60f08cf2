#include "support/win32_test_window.h"

#include <gtest/gtest.h>

#include "resources/resource_ids.h"

namespace brx {
namespace {

constexpr char kClassName[] = "BrxTestProgressWindow";

std::string TextOf(HWND window) {
  char text[1024] = {};
  GetWindowTextA(window, text, sizeof(text));
  return text;
}

bool HasClass(HWND window, const char* name) {
  char found[64] = {};
  GetClassNameA(window, found, sizeof(found));
  return lstrcmpiA(found, name) == 0;
}

thread_local MessageBoxAnswerer* activeAnswerer = nullptr;

}  // namespace

TestProgressWindow::TestProgressWindow(WorkerState& workerState) : workerState_(workerState) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = Procedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kClassName;
  RegisterClassA(&windowClass);  // fails harmlessly when a previous test registered it
  window_ = CreateWindowExA(0, kClassName, "test progress window", WS_POPUP | WS_CAPTION, 0, 0, 400,
                            200, nullptr, nullptr, windowClass.hInstance, this);
  EXPECT_NE(window_, nullptr) << GetLastError();
  CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 10, 10, 300, 40, window_,
                  reinterpret_cast<HMENU>(BRX_CONTROL_STATUS), windowClass.hInstance, nullptr);
  CreateWindowExA(0, "BUTTON", "Done", WS_CHILD | BS_DEFPUSHBUTTON, 10, 60, 80, 24, window_,
                  reinterpret_cast<HMENU>(IDOK), windowClass.hInstance, nullptr);
  SetTimer(window_, 1, 20000, nullptr);
}

TestProgressWindow::~TestProgressWindow() {
  if (window_ != nullptr) DestroyWindow(window_);
}

std::string TestProgressWindow::StatusText() const {
  return TextOf(GetDlgItem(window_, BRX_CONTROL_STATUS));
}

std::string TestProgressWindow::ButtonText() const {
  return TextOf(GetDlgItem(window_, IDOK));
}

bool TestProgressWindow::ButtonVisible() const {
  return (GetWindowLongA(GetDlgItem(window_, IDOK), GWL_STYLE) & WS_VISIBLE) != 0;
}

LRESULT CALLBACK TestProgressWindow::Procedure(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<TestProgressWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self != nullptr) {
    switch (message) {
      case kPing:
        return 1;
      case WM_TIMER:
        self->workerState_.store(kExit);
        return 0;
      case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDOK &&
            self->workerState_.load() != kRunning) {
          ++self->clicks;
          self->workerState_.store(kExit);
          return 0;
        }
        break;
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

MessageBoxAnswerer::MessageBoxAnswerer(int answer) : answer_(answer) {
  activeAnswerer = this;
  hook_ = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
  EXPECT_NE(hook_, nullptr) << GetLastError();
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
  if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
  activeAnswerer = nullptr;
}

LRESULT CALLBACK MessageBoxAnswerer::Hook(int code, WPARAM wParam, LPARAM lParam) {
  // A box is activated once its controls exist: the moment to read and answer it.
  if (code == HCBT_ACTIVATE && activeAnswerer != nullptr) {
    HWND box = reinterpret_cast<HWND>(wParam);
    if (HasClass(box, "#32770")) activeAnswerer->Answer(box);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void MessageBoxAnswerer::Answer(HWND box) {
  ++boxes;
  owner = GetWindow(box, GW_OWNER);
  caption = TextOf(box);
  hasCancel = GetDlgItem(box, IDCANCEL) != nullptr;
  // Posted: the box's own loop picks it up once the hook has returned.
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer_, BN_CLICKED), 0);
}

TestThread::TestThread(Body body, void* context) : body_(body), context_(context) {
  handle_ = CreateThread(nullptr, 0, Start, this, 0, nullptr);
  EXPECT_NE(handle_, nullptr) << GetLastError();
}

TestThread::~TestThread() {
  if (handle_ == nullptr) return;
  // A thread still running here would use a dead test's objects: fail and leave it.
  EXPECT_TRUE(Join(30000)) << "a test thread did not end";
  CloseHandle(handle_);
}

bool TestThread::Join(DWORD timeoutMs) {
  return handle_ != nullptr && WaitForSingleObject(handle_, timeoutMs) == WAIT_OBJECT_0;
}

DWORD WINAPI TestThread::Start(void* self) {
  auto* thread = static_cast<TestThread*>(self);
  thread->body_(thread->context_);
  return 0;
}

}  // namespace brx
