// The hand-over on real threads, as in PATCH.EXE: this thread runs the
// window thread's message loop over a test window while the worker runs on
// its own thread with Win32System. Every wait is bounded; the test window
// stops a loop that does not return by itself.
#include "app/win32_message_loop.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/worker.h"
#include "run/user_texts.h"
#include "support/win32_test_window.h"
#include "system/win32_system.h"

namespace brx {
namespace {

constexpr DWORD kBoundMs = 20000;

struct LoopRun {
  TestProgressWindow* window;
  const char* commandLine;
  HANDLE worker = nullptr;
  bool servedAfterTheWorker = false;
};

// The run, with its one store of the state held back a while after its last
// window call: the loop is asleep by then and must wake when the worker's
// thread ends, for the store posts nothing.
void Worker(void* context) {
  auto* run = static_cast<LoopRun*>(context);
  Win32System system(run->window->window());
  WorkerState stored{kRunning};
  RunWorker(system, run->commandLine, stored);
  HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  WaitForSingleObject(never, 300);  // a span, not a synchronisation
  CloseHandle(never);
  run->window->workerState().store(stored.load());
}

// The user of a finished run: once the worker has ended, checks that the
// window is still served, then clicks the button.
void User(void* context) {
  auto* run = static_cast<LoopRun*>(context);
  if (WaitForSingleObject(run->worker, kBoundMs) != WAIT_OBJECT_0) return;
  DWORD_PTR result = 0;
  run->servedAfterTheWorker = SendMessageTimeoutA(run->window->window(), TestProgressWindow::kPing,
                                                  0, 0, SMTO_NORMAL, kBoundMs, &result) != 0;
  PostMessageA(run->window->window(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

// Tests that the loop serves every window call of the worker at once; that
// a finished run (the usage text) keeps the window served after the worker
// has ended, until the click; and that builder mode ends the loop without
// one, once the worker has stored kExit and ended, which posts nothing.
TEST(MessageLoopTest, HandsTheWindowOverAsTheRunAsks) {
  struct Case {
    const char* commandLine;
    std::string statusText;
    int clicks;
  };
  const Case cases[] = {{"PATCH.EXE a b c", kUsageText, 1},
                        {"PATCH.EXE C:\\missing.brx out MAKEEXE", "", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.commandLine);
    WorkerState state{kRunning};
    TestProgressWindow window(state);
    LoopRun run{&window, c.commandLine};
    TestThread worker(Worker, &run);
    run.worker = worker.handle();
    std::unique_ptr<TestThread> user;
    if (c.clicks != 0) user = std::make_unique<TestThread>(User, &run);
    const ULONGLONG start = GetTickCount64();
    PumpMessagesUntilExit(window.window(), worker.handle(), state);
    EXPECT_LT(GetTickCount64() - start, kBoundMs / 2) << "the loop did not return by itself";
    EXPECT_TRUE(worker.Join(kBoundMs));
    user.reset();
    EXPECT_EQ(window.clicks, c.clicks);
    EXPECT_EQ(run.servedAfterTheWorker, c.clicks != 0);
    EXPECT_EQ(window.StatusText(), c.statusText);
    EXPECT_TRUE(window.ButtonVisible());
    EXPECT_EQ(window.ButtonText(), kButtonTextOk);
  }
}

}  // namespace
}  // namespace brx
