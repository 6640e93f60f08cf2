// The hand-over between the worker and the window thread, with two real
// threads. The worker's window calls write the FakeSystem's window fields;
// the test's thread plays the window thread, which reads them once it has
// seen the worker's one store of the state. Every window call must come
// before that store: under ThreadSanitizer a call after it is a data race
// with the window thread's reads.
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "app/worker.h"
#include "package/section_names.h"
#include "run/user_texts.h"
#include "support/target_fixture.h"

namespace brx::test {
namespace {

// Tests, for runs that end each way, that the state stored tells the window
// whether to wait for the click, and that everything the run showed is in
// place, without a race, once the window thread sees it.
TEST(HandOverTest, EveryWindowCallPrecedesTheStore) {
  const PackageEntrySource question =
      Section(kStartupMsgSection, EncodeStartupMessage("Atlas", "Install?"));
  std::vector<PackageEntrySource> manyFiles = {Keys(), question};
  for (int i = 0; i < 40; ++i) manyFiles.push_back(FileEntry("f" + std::to_string(i), "x"));
  struct Case {
    std::string commandLine;
    std::vector<PackageEntrySource> entries;  // none: no package file
    std::deque<int> answers;
    int32_t state;
    size_t texts;
    size_t boxes;
  };
  const Case cases[] = {
      {"PATCH.EXE a b c", {}, {}, kFinished, 1, 0},
      {"PATCH.EXE C:\\missing.brx out MAKEEXE", {}, {}, kExit, 0, 0},
      {kApplyPackageFile, {Keys(), question}, {kIdCancel}, kExit, 0, 1},
      {kApplyPackageFile, manyFiles, {}, kFinished, 81, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.commandLine);
    FakeSystem system;
    InstallTarget(system);
    if (!c.entries.empty()) system.AddFile(kPackageFile, Text(WriteTestPackage(c.entries)));
    system.answers = c.answers;
    WorkerState state{kRunning};
    std::thread worker([&] { RunWorker(system, c.commandLine.c_str(), state); });
    // The window thread's wait for the store, bounded so a worker that never
    // stores fails the test instead of hanging it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (state.load() == kRunning && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::yield();
    }
    EXPECT_EQ(state.load(), c.state);
    EXPECT_TRUE(system.buttonShown);
    EXPECT_EQ(system.buttonText, kButtonTextOk);
    EXPECT_EQ(system.StatusTexts().size(), c.texts);
    EXPECT_EQ(system.MessageBoxes().size(), c.boxes);
    worker.join();
  }
}

}  // namespace
}  // namespace brx::test
