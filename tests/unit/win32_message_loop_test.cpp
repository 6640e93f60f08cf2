#include "app/win32_message_loop.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "support/win32_test_window.h"
#include "system/win32_system.h"

namespace brx {
namespace {

// Every wait in these tests is bounded; a loop that fails to wake is ended by
// a watchdog that posts kForceExit, and the test fails on forcedExit.
constexpr DWORD kWatchdogMs = 20000;

struct LoopRun {
  WorkerState state{kRunning};
  HWND window = nullptr;
  HANDLE worker = nullptr;  // set before the helper threads start
  HANDLE done = nullptr;    // set once the loop has returned
  int served = 0;           // window calls of the worker that returned
  int failed = 0;           // window calls that timed out
  int answer = 0;           // the worker's message box answer
  DWORD workMs = 0;         // how long the worker's long step lasts
  DWORD readMs = 0;         // how long the user reads before clicking
};

// Guards the loop: posts kForceExit when the loop has not returned in time.
void Watchdog(void* context) {
  auto* run = static_cast<LoopRun*>(context);
  if (WaitForSingleObject(run->done, kWatchdogMs) != WAIT_OBJECT_0) {
    PostMessageA(run->window, TestProgressWindow::kForceExit, 0, 0);
  }
}

// Spends a while doing nothing: a wait on an event nobody sets stands for a
// long program or a slow reader. It measures a span, it synchronises nothing.
void Linger(DWORD milliseconds) {
  if (milliseconds == 0) return;
  HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  WaitForSingleObject(never, milliseconds);
  CloseHandle(never);
}

// A SendMessage from the worker that fails loudly instead of blocking for good.
bool SendFromWorker(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, 10000, &result) != 0;
}

// The worker of a whole run: every window call Win32System makes, a long step
// that posts nothing, then the final state, stored without any message.
void WorkerOfARun(void* context, int32_t finalState) {
  auto* run = static_cast<LoopRun*>(context);
  Win32System system(run->window);
  for (int i = 0; i < 200; ++i) {
    std::string text = "status " + std::to_string(i);
    system.SetStatusText(text.c_str());
    ++run->served;
  }
  {
    MessageBoxAnswerer answerer(kIdOk);
    run->answer = system.AskUser("question", "caption", kMbOkCancel | kMbIconExclamation);
  }
  Linger(run->workMs);
  system.ShowButton();
  system.SetButtonText("OK");
  run->state.store(finalState);
}

void WorkerThatExits(void* context) {
  WorkerOfARun(context, kExit);
}
void WorkerThatFinishes(void* context) {
  WorkerOfARun(context, kFinished);
}

// The user of a finished run: once the worker has ended, checks that the
// window is still served, then clicks the button.
void UserWhoClicks(void* context) {
  auto* run = static_cast<LoopRun*>(context);
  if (WaitForSingleObject(run->worker, kWatchdogMs) != WAIT_OBJECT_0) return;
  Linger(run->readMs);
  if (SendFromWorker(run->window, TestProgressWindow::kPing, 0, 0)) {
    ++run->served;
  } else {
    ++run->failed;
  }
  PostMessageA(run->window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

class MessageLoopTest : public testing::Test {
 protected:
  void SetUp() override {
    run_.window = window_.window();
    run_.done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  }
  void TearDown() override { CloseHandle(run_.done); }

  // Runs the loop on this thread with body as the worker; gives the CPU time
  // this thread used meanwhile, in milliseconds.
  double Pump(TestThread::Body body, TestThread::Body user = nullptr) {
    TestThread worker(body, &run_);
    run_.worker = worker.handle();
    TestThread watchdog(Watchdog, &run_);
    std::unique_ptr<TestThread> clicker;
    if (user != nullptr) clicker = std::make_unique<TestThread>(user, &run_);
    double before = ThreadCpuMilliseconds();
    PumpMessagesUntilExit(run_.window, worker.handle(), run_.state);
    double used = ThreadCpuMilliseconds() - before;
    SetEvent(run_.done);
    EXPECT_TRUE(worker.Join(kWatchdogMs));
    return used;
  }

  LoopRun run_;
  TestProgressWindow window_{run_.state};
};

// Tests that the loop serves every window call of a worker at once (status
// texts, an owned message box, the button) and returns by itself when the
// worker stores kExit and ends, which posts no message.
TEST_F(MessageLoopTest, ServesTheWorkerAndLeavesOnExit) {
  Pump(WorkerThatExits);
  EXPECT_FALSE(window_.forcedExit) << "the loop did not wake when the worker ended";
  EXPECT_EQ(run_.state.load(), kExit);
  EXPECT_EQ(run_.served, 200);
  EXPECT_EQ(window_.StatusText(), "status 199");
  EXPECT_EQ(run_.answer, kIdOk);
  EXPECT_TRUE(window_.ButtonVisible());
  EXPECT_EQ(window_.ButtonText(), "OK");
  EXPECT_EQ(window_.clicks, 0);
}

// Tests that after a finished run the loop keeps serving the window, without
// the worker, until the button is clicked, and then returns.
TEST_F(MessageLoopTest, AFinishedRunWaitsForTheClick) {
  Pump(WorkerThatFinishes, UserWhoClicks);
  EXPECT_FALSE(window_.forcedExit) << "the click did not end the loop";
  EXPECT_EQ(run_.failed, 0);
  EXPECT_EQ(run_.served, 201) << "the window was not served after the worker ended";
  EXPECT_EQ(window_.pings, 1);
  EXPECT_EQ(window_.clicks, 1);
  EXPECT_EQ(run_.state.load(), kExit);
}

// Tests that the measure below sees a thread's CPU time: a busy thread's
// time grows within a bounded wall time.
TEST(ThreadCpuTimeTest, SeesABusyThread) {
  double start = ThreadCpuMilliseconds();
  ASSERT_GE(start, 0);
  ULONGLONG deadline = GetTickCount64() + 10000;
  volatile uint32_t spin = 0;
  while (ThreadCpuMilliseconds() - start < 50) {
    ASSERT_LT(GetTickCount64(), deadline) << "GetThreadTimes does not count this thread's time";
    for (int i = 0; i < 100000; ++i) spin = spin + 1;
  }
}

// Tests that the window thread sleeps through a long run: over a one-second
// step of the worker and two seconds in which the finished run waits for the
// click, the loop uses next to no CPU. A polling loop, or one still waiting on
// the ended worker's signalled handle, spins; under Wine much of a spin's
// time is the server's, so the thread's own share is what the bound is set by.
TEST_F(MessageLoopTest, UsesNextToNoCpuThroughALongRun) {
  run_.workMs = 1000;
  run_.readMs = 2000;
  ULONGLONG start = GetTickCount64();
  double cpuMs = Pump(WorkerThatFinishes, UserWhoClicks);
  ULONGLONG wallMs = GetTickCount64() - start;
  EXPECT_FALSE(window_.forcedExit);
  EXPECT_EQ(window_.clicks, 1);
  EXPECT_GE(wallMs, 3000u);
  EXPECT_LT(cpuMs, 60.0) << "the window thread used " << cpuMs << " ms of CPU in " << wallMs
                         << " ms";
  RecordProperty("window_thread_cpu_ms", std::to_string(cpuMs));
  RecordProperty("wall_ms", std::to_string(wallMs));
  std::printf("window thread: %.1f ms CPU over %llu ms\n", cpuMs,
              static_cast<unsigned long long>(wallMs));
}

}  // namespace
}  // namespace brx
