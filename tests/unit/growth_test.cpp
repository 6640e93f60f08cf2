// The installer's work per file, counted without a clock: a run over 8,000
// files must cost about eight times a run over 1,000, never the square.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/driver.h"
#include "package/section_names.h"
#include "run/user_texts.h"
#include "support/target_fixture.h"

namespace brx::test {
namespace {

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
  system.logCalls = false;
  InstallTarget(system);
  system.AddFile(kPackageFile, Text(WriteTestPackage(entries)));
  RunState run;
  WorkerState state{kRunning};
  ApplyPackage(system, run, kPackageFile, PackageSource::kPackageFile);
  CloseInstallation(system, run, state);
  EXPECT_EQ(system.statusTexts.back(), kUpdateInstalledText) << files << " files";
  EXPECT_EQ(system.FileContent(std::string(kTargetFolder) + pairs.back().second), "x");
  return {run.nameIndex.comparisons(), system.callCount};
}

// Tests that eight times the files take at most about eight times the name
// comparisons (n log n: 8 x 13/10) and the seam calls, where a scan of the
// name table or of the files per file would take 64 times.
TEST(GrowthTest, EightTimesTheFilesTakeAboutEightTimesTheWork) {
  const Work small = InstallTree(1000);
  const Work large = InstallTree(8000);
  const double comparisons = double(large.nameComparisons) / double(small.nameComparisons);
  const double calls = double(large.seamCalls) / double(small.seamCalls);
  std::printf(
      "[ growth   ] 1,000 -> 8,000 files: name comparisons %llu -> %llu (%.2fx), "
      "seam calls %d -> %d (%.2fx)\n",
      static_cast<unsigned long long>(small.nameComparisons),
      static_cast<unsigned long long>(large.nameComparisons), comparisons, small.seamCalls,
      large.seamCalls, calls);
  EXPECT_LE(comparisons, 8 * 1.3);
  EXPECT_LE(calls, 8 * 1.05);
}

}  // namespace
}  // namespace brx::test
