// The hand-over between the worker and the window thread, with two real
// threads: the test's own thread plays the window thread and serves the
// worker's window calls one at a time, the way the progress window's
// message loop does, and stops serving once it sees kExit.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/worker.h"
#include "package/section_names.h"
#include "run/user_texts.h"
#include "support/target_fixture.h"

namespace brx {
namespace {

// Bounds every wait, so a broken hand-over fails the test instead of hanging it.
constexpr std::chrono::seconds kWaitBound{30};

// A FakeSystem whose window calls are handed to the window thread and wait
// until it has served them. Everything else runs on the worker's thread.
// One mutex orders every touch of the FakeSystem by the two threads.
class WindowThreadSystem : public FakeSystem {
 public:
  explicit WindowThreadSystem(WorkerState& state) : state_(state) {}

  void SetStatusText(const char* text) override {
    Post("SetStatusText", [&] { FakeSystem::SetStatusText(text); });
  }
  int AskUser(const char* text, const char* caption, uint32_t style) override {
    int answer = 0;  // what MessageBoxA gives when it cannot show the box
    Post("AskUser", [&] { answer = FakeSystem::AskUser(text, caption, style); });
    return answer;
  }
  void ShowButton() override {
    Post("ShowButton", [&] { FakeSystem::ShowButton(); });
  }
  void SetButtonText(const char* text) override {
    Post("SetButtonText", [&] { FakeSystem::SetButtonText(text); });
  }

  // The window thread's loop: serves calls while the state is below kExit;
  // a finished run gets its click (kFinished -> kExit), as the button does.
  // Each turn reads the state outside the lock first, as the real loop
  // reads it: only the word itself orders the worker's store before those
  // reads, so ThreadSanitizer reports a store that is not atomic. Under the
  // lock the state is read again, so a call posted after the store is never
  // served, whatever the timing.
  void ServeWindow() {
    const auto deadline = std::chrono::steady_clock::now() + kWaitBound;
    for (;;) {
      if (state_.load() == kExit) break;
      std::unique_lock<std::mutex> lock(mutex_);
      const int32_t state = state_.load();
      if (state == kExit) break;
      if (state == kFinished) {
        clicked_ = true;
        state_.store(kExit);
        continue;
      }
      if (pending_ != nullptr) {
        (*pending_)();
        servedCalls_.push_back(pendingName_);
        pending_ = nullptr;
        changed_.notify_all();
        continue;
      }
      if (!changed_.wait_until(lock, deadline, [&] {
            return pending_ != nullptr || workerEnded_ || state_.load() != kRunning;
          })) {
        windowTimedOut_ = true;
        break;
      }
      // The worker has ended without a store: nothing will ever wake us.
      if (workerEnded_ && pending_ == nullptr && state_.load() == kRunning) break;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    windowStopped_ = true;
    changed_.notify_all();
  }

  // Called on the worker's thread once its run has returned, as the
  // worker's thread handle is signalled in the real program.
  void WorkerEnded() {
    std::lock_guard<std::mutex> lock(mutex_);
    workerEnded_ = true;
    changed_.notify_all();
  }

  // Read once both threads are done.
  std::vector<std::string> servedCalls_;
  int callsAfterStore_ = 0;
  int unservedCalls_ = 0;
  bool clicked_ = false;
  bool windowTimedOut_ = false;

 private:
  void Post(const char* name, const std::function<void()>& call) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (state_.load() != kRunning) ++callsAfterStore_;
    pending_ = &call;
    pendingName_ = name;
    changed_.notify_all();
    // A call the window no longer serves would block the real worker for
    // good; here it is counted and given up.
    const bool served =
        changed_.wait_for(lock, kWaitBound, [&] { return pending_ == nullptr || windowStopped_; });
    if (!served || pending_ != nullptr) {
      ++unservedCalls_;
      pending_ = nullptr;
    }
  }

  WorkerState& state_;
  std::mutex mutex_;
  std::condition_variable changed_;
  const std::function<void()>* pending_ = nullptr;
  const char* pendingName_ = "";
  bool workerEnded_ = false;
  bool windowStopped_ = false;
};

using Worker = std::function<void(System&, WorkerState&)>;

// Runs `worker` on its own thread while this thread serves the window.
void RunBothThreads(WindowThreadSystem& system, WorkerState& state, const Worker& worker) {
  std::thread workerThread([&] {
    worker(system, state);
    system.WorkerEnded();
  });
  system.ServeWindow();
  workerThread.join();
}

Worker WorkerFor(const std::string& commandLine) {
  return [commandLine](System& system, WorkerState& state) {
    RunWorker(system, commandLine.c_str(), state);
  };
}

constexpr char kPackageFile[] = "C:\\Upd\\update.brx";

// Tests, for runs that end each way, that every window call is served before
// the one store of the state, none comes after it, the button's two calls
// are the last, and the window closes with or without the click as the run
// asks.
TEST(HandOverTest, EveryWindowCallPrecedesTheStore) {
  struct Case {
    const char* name;
    std::string commandLine;
    std::vector<PackageEntrySource> entries;  // none: no package file
    std::deque<int> answers;
    std::vector<std::string> served;
    bool clicked;
  };
  std::vector<PackageEntrySource> manyFiles = {RegistryKeysEntry(2),
                                               StartupMsgEntry("Viewer", "Install?")};
  std::vector<std::string> manyFilesServed = {"AskUser"};
  for (int i = 0; i < 40; ++i) {
    manyFiles.push_back(Entry("file" + std::to_string(i) + ".txt", {'x'}));
    manyFilesServed.push_back("SetStatusText");  // updating the file
    manyFilesServed.push_back("SetStatusText");  // its result
  }
  manyFilesServed.insert(manyFilesServed.end(), {"SetStatusText", "ShowButton", "SetButtonText"});
  const std::string apply = std::string("PATCH.EXE ") + kPackageFile;
  const Case cases[] = {
      {"usage", "PATCH.EXE a b c", {}, {}, {"SetStatusText", "ShowButton", "SetButtonText"}, true},
      {"builder",
       "PATCH.EXE C:\\missing.brx out MAKEEXE",
       {},
       {},
       {"ShowButton", "SetButtonText"},
       false},
      {"package missing", apply, {}, {}, {"SetStatusText", "ShowButton", "SetButtonText"}, true},
      {"refusal",
       apply,
       {RegistryKeysEntry(2), StartupMsgEntry("Viewer", "Install?")},
       {kIdCancel},
       {"AskUser", "ShowButton", "SetButtonText"},
       false},
      {"success",
       apply,
       {RegistryKeysEntry(2), StartupMsgEntry("Viewer", "Install?")},
       {},
       {"AskUser", "SetStatusText", "ShowButton", "SetButtonText"},
       true},
      {"many files", apply, manyFiles, {}, manyFilesServed, true},
  };
  for (const Case& c : cases) {
    WorkerState state{kRunning};
    WindowThreadSystem system(state);
    InstallTarget(system, 1);
    if (!c.entries.empty()) system.AddFile(kPackageFile, AsString(MakePackage(c.entries)));
    system.answers = c.answers;
    RunBothThreads(system, state, WorkerFor(c.commandLine));

    EXPECT_EQ(state.load(), kExit) << c.name;
    EXPECT_FALSE(system.windowTimedOut_) << c.name;
    EXPECT_EQ(system.callsAfterStore_, 0) << c.name;
    EXPECT_EQ(system.unservedCalls_, 0) << c.name;
    EXPECT_EQ(system.servedCalls_, c.served) << c.name;
    EXPECT_EQ(system.clicked_, c.clicked) << c.name;
    EXPECT_EQ(system.buttonText, kButtonTextOk) << c.name;
  }
}

// Tests that the harness itself catches a worker that breaks the rule: a
// window call after the store is counted and never served, for either store.
TEST(HandOverTest, CatchesACallAfterTheStore) {
  for (const int32_t finalState : {kFinished, kExit}) {
    WorkerState state{kRunning};
    WindowThreadSystem system(state);
    RunBothThreads(system, state, [finalState](System& s, WorkerState& st) {
      s.ShowButton();
      st.store(finalState);
      s.SetButtonText(kButtonTextOk);
    });
    EXPECT_EQ(system.callsAfterStore_, 1) << finalState;
    EXPECT_EQ(system.unservedCalls_, 1) << finalState;
    EXPECT_EQ(system.servedCalls_, std::vector<std::string>{"ShowButton"}) << finalState;
    EXPECT_FALSE(system.windowTimedOut_) << finalState;
  }
}

}  // namespace
}  // namespace brx
