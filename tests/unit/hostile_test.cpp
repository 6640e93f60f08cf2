// Hostile packages (support/hostile_packages.h) run through the whole
// installer. Each ends as the reader or the phases decide, in bounded time
// and memory; the figures are printed with each case. The time bound is
// ten times what the longest list takes on a loaded machine under the
// sanitizers; a pass over the list per item would take hours. And the work
// per file, counted without a clock: a run over 8,000 files must cost about
// eight times a run over 1,000, never the square.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "app/driver.h"
#include "package/section_names.h"
#include "run/user_texts.h"
#include "run/worker_state.h"
#include "support/heap_watch.h"
#include "support/hostile_packages.h"
#include "support/target_fixture.h"

namespace brx::test {
namespace {

constexpr uint32_t kMany = 100000;
constexpr double kSecondsBound = 30;

// Tests that each hostile package is refused with the usage text and
// nothing changed, or runs to its end working through every item, with
// the heap it takes bounded by what the package may legitimately ask for.
TEST(HostileTest, EachEndsInBoundedTimeAndMemory) {
  for (const HostilePackage& hostile : HostilePackages(kMany)) {
    SCOPED_TRACE(hostile.name);
    FakeSystem system;
    system.log = false;  // a list of every call and command would measure the fake
    InstallTarget(system);
    system.AddFile(kPackageFile, Text(hostile.bytes));
    const auto before = system.Snapshot();
    int32_t state = kRunning;
    double seconds = 0;
    size_t peak = 0;
    size_t largest = 0;
    {
      HeapWatch heap;
      const auto start = std::chrono::steady_clock::now();
      state = RunInstaller(system);
      seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      peak = heap.peakGrowth();
      largest = heap.largestBlock();
    }
    std::printf("[ hostile  ] %s: %.3f s, heap peak +%zu KiB, largest block %zu KiB\n",
                hostile.name.c_str(), seconds, peak >> 10, largest >> 10);
    EXPECT_EQ(state, kFinished);
    EXPECT_EQ(system.OpenHandleCount(), 0u);
    EXPECT_LT(seconds, kSecondsBound);
    EXPECT_LT(peak, hostile.heapBound);
    EXPECT_LT(largest, hostile.heapBound);
    if (hostile.seamCall != nullptr) {
      EXPECT_EQ(system.callCounts[hostile.seamCall], hostile.calls);
    }
    const bool success = system.StatusTexts().back() == kUpdateInstalledText;
    const std::string level =
        system.Snapshot()["hklm\\software\\brindlex\\atlas @patchlevel"].substr(2, 1);
    switch (hostile.ending) {
      case Ending::kRefused:
        EXPECT_EQ(system.StatusTexts(), std::vector<std::string>{kUsageText});
        EXPECT_EQ(system.Snapshot(), before);
        break;
      case Ending::kInstalled:
        EXPECT_TRUE(success);
        EXPECT_EQ(level, "\x02");
        break;
      case Ending::kFailed:
        EXPECT_FALSE(success);
        EXPECT_EQ(level, "\x01");
        break;
    }
  }
}

struct Work {
  uint64_t nameComparisons;
  int seamCalls;
};

// Installs `files` one-byte files in folders of 100, each under a path
// longer than an entry name, so each goes through the name table; counts
// what the whole run did.
Work InstallTree(uint32_t files) {
  std::vector<PackageEntrySource> entries = {Keys()};
  std::vector<std::pair<std::string, std::string>> pairs;
  for (uint32_t i = 0; i < files; ++i) {
    const std::string entry = "f" + std::to_string(i);
    pairs.push_back({entry, "modules\\module-" + std::to_string(i / 100) + "\\resource-" +
                                std::to_string(i) + ".dat"});
    entries.push_back(FileEntry(entry, "x", EntryStorage::kStored));
  }
  entries.push_back(Section(kNameTableSection, EncodeNameTable(pairs)));
  FakeSystem system;
  system.log = false;
  InstallTarget(system);
  system.AddFile(kPackageFile, Text(WriteTestPackage(entries)));
  RunState run;
  ApplyPackage(system, run, kPackageFile, PackageSource::kPackageFile);
  ReleasePackage(system, &run.package);
  EXPECT_EQ(system.StatusTexts().back(), kUpdateInstalledText) << files << " files";
  EXPECT_EQ(system.FileContent(std::string(kTargetFolder) + pairs.back().second), "x");
  return {run.nameIndex.comparisons(), system.callCount};
}

// Tests that eight times the files take at most about eight times the name
// comparisons (n log n: 8 x 13/10) and the seam calls, where a scan of the
// name table or of the files per file would take 64 times.
TEST(GrowthTest, EightTimesTheFilesTakeAboutEightTimesTheWork) {
  const Work small = InstallTree(1000);
  const Work large = InstallTree(8000);
  EXPECT_LE(double(large.nameComparisons) / double(small.nameComparisons), 8 * 1.3)
      << small.nameComparisons << " -> " << large.nameComparisons << " name comparisons";
  EXPECT_LE(double(large.seamCalls) / double(small.seamCalls), 8 * 1.05)
      << small.seamCalls << " -> " << large.seamCalls << " seam calls";
}

}  // namespace
}  // namespace brx::test
