// Hostile containers run through the whole installer: directories that claim
// up to 2^32 / 48 records, names without a terminator, and streams that
// would inflate far beyond their entry's size. Each ends as the reader
// decides (the usage text, or a failed file), in bounded time and memory.
// Time limits are about 20 times what a loaded machine took under the
// sanitizers; the measured figures are printed with each case.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "authoring/section_encoders.h"
#include "package/entry_lookup.h"
#include "package/reader.h"
#include "package/section_names.h"
#include "run/user_texts.h"
#include "support/heap_watch.h"
#include "support/hostile_packages.h"
#include "support/hostile_run.h"
#include "support/package_samples.h"
#include "support/target_fixture.h"

namespace brx {
namespace {

using hostile::kMostRecords;
using test::ApplyHostilePackage;
using test::MeasuredRun;
using test::PrintMeasured;

constexpr size_t kMiB = 1024 * 1024;
constexpr RegistryRoot kHklm = RegistryRoot::kLocalMachine;

std::string TargetPath(const std::string& name) {
  return std::string(kTargetFolder) + "\\" + name;
}

std::vector<PackageEntrySource> KeysAndFile() {
  return {RegistryKeysEntry(2), Entry("a.txt", {'n', 'e', 'w'})};
}

// Every file and folder but the package's own.
std::map<std::string, std::string> TargetFiles(const FakeSystem& system) {
  std::map<std::string, std::string> files = system.Snapshot();
  std::erase_if(files, [](const auto& file) { return file.first.rfind("c:\\upd", 0) == 0; });
  return files;
}

void ExpectLevel(const FakeSystem& system, uint32_t level, const char* what) {
  const auto value = system.GetRegistryValue(kHklm, kTargetKey, "PatchLevel");
  ASSERT_TRUE(value.has_value()) << what;
  EXPECT_EQ(test::GetLe32(std::vector<uint8_t>(value->bytes.begin(), value->bytes.end()), 0), level)
      << what;
}

struct RefusedCase {
  std::string what;
  std::function<std::vector<uint8_t>()> make;
  double seconds;    // bound on the run's time
  size_t heapBound;  // bound on the run's peak heap and largest block
};

// Applies each package and expects the reader's refusal: only the usage
// text, the window waiting for the click, nothing of the target touched.
void ExpectRefused(const std::vector<RefusedCase>& cases) {
  for (const RefusedCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<uint8_t> package = c.make();
    FakeSystem system;
    InstallTarget(system, 1);
    const auto before = TargetFiles(system);
    const MeasuredRun run = ApplyHostilePackage(system, package);
    PrintMeasured(c.what.c_str(), run);
    EXPECT_EQ(run.state, kFinished);
    EXPECT_EQ(system.statusTexts, std::vector<std::string>{kUsageText});
    EXPECT_EQ(TargetFiles(system), before);
    ExpectLevel(system, 1, c.what.c_str());
    EXPECT_EQ(system.OpenHandleCount(), 0u);
    EXPECT_LT(run.seconds, c.seconds);
    EXPECT_LT(run.peakHeap, c.heapBound);
    EXPECT_LT(run.largestBlock, c.heapBound);
  }
}

std::vector<uint8_t> Claiming(bool compressed, uint32_t entryCount) {
  std::vector<uint8_t> package = hostile::WriteStored(KeysAndFile());
  if (compressed) hostile::CompressDirectory(package);
  hostile::ClaimEntryCount(package, entryCount);
  return package;
}

// Tests that a directory claiming 2^32 / 48 records or more, stored or
// compressed, is refused with the usage text before a block of the claimed
// size is asked for: neither the package nor its stream could hold it.
TEST(HostilePackageTest, DirectoryClaimingNearlyFourGigabytes) {
  ExpectRefused({
      {"stored, 89,478,485 records", [] { return Claiming(false, kMostRecords); }, 5, kMiB},
      {"stored, one more, whose size wraps 32 bits",
       [] { return Claiming(false, kMostRecords + 1); }, 5, kMiB},
      {"stored, 2^32 - 1 records", [] { return Claiming(false, UINT32_MAX); }, 5, kMiB},
      {"compressed, 89,478,485 records", [] { return Claiming(true, kMostRecords); }, 5, kMiB},
      {"compressed, one more", [] { return Claiming(true, kMostRecords + 1); }, 5, kMiB},
      {"compressed, 89,478,485 records, stream claiming the padded package's 4.2 MB",
       [] {
         std::vector<uint8_t> package = Claiming(true, kMostRecords);
         const uint32_t stream = test::GetLe32(package, test::kDirectoryCompressedSizeAt);
         constexpr uint32_t kPadding = 4400000;  // 1032 * 4.2 MB passes 4 GiB
         package.resize(package.size() + kPadding, 0x5A);
         hostile::ClaimDirectoryStreamSize(package, stream + kPadding);
         return package;
       },
       // The claim is possible for a stream of this size, so the block is
       // asked for (and never filled: the stream ends after two records).
       60, size_t{kMostRecords} * kDirectoryEntrySize + kMiB},
  });
}

std::vector<uint8_t> UnterminatedName(bool compressed, uint32_t record, char fill) {
  std::vector<uint8_t> package = hostile::WriteStored(KeysAndFile());
  hostile::FillName(package, record, fill);
  if (compressed) hostile::CompressDirectory(package);
  return package;
}

// Tests that a name filling all 32 bytes of its field, in either directory
// form, first or last, as a section's or a file's name, is refused with the
// usage text.
TEST(HostilePackageTest, NamesWithoutTerminator) {
  std::vector<RefusedCase> cases;
  for (const bool compressed : {false, true}) {
    for (const uint32_t record : {0u, 1u}) {
      for (const char fill : {':', 'n', '\xFF'}) {
        cases.push_back({std::string(compressed ? "compressed" : "stored") + " directory, record " +
                             std::to_string(record) + ", 32 bytes of '" + fill + "'",
                         [=] { return UnterminatedName(compressed, record, fill); }, 5, kMiB});
      }
    }
  }
  ExpectRefused(cases);
}

// A package whose entry `name` holds `inflated` zero bytes as its stream but
// claims only `claimed` bytes.
std::vector<uint8_t> Bomb(const std::string& name, uint32_t inflated, uint32_t claimed,
                          std::vector<PackageEntrySource> entries) {
  entries.push_back(Entry(name, std::vector<uint8_t>(inflated, 0)));
  std::vector<uint8_t> package = hostile::WriteStored(entries, 1);
  hostile::ClaimEntrySize(package, static_cast<uint32_t>(entries.size() - 1), claimed);
  return package;
}

// Tests that a section whose stream would inflate far beyond its size is
// refused at open with the usage text, for every section, inflating no more
// than the section's size.
TEST(HostilePackageTest, SectionBombs) {
  constexpr uint32_t kInflated = 8 * kMiB;
  const char* const sections[] = {kRegistryKeysSection, kStartupMsgSection, kNameTableSection,
                                  kFoldersSection,      kCommandsSection,   kFilesToRemoveSection,
                                  kRegistryTableSection};
  std::vector<RefusedCase> cases;
  for (const char* section : sections) {
    for (const uint32_t claimed : {0u, 4096u}) {
      std::vector<PackageEntrySource> before;
      if (std::strcmp(section, kRegistryKeysSection) != 0) before.push_back(RegistryKeysEntry(2));
      cases.push_back({std::string(section) + ", 8 MiB of stream claiming " +
                           std::to_string(claimed) + " bytes",
                       [=] { return Bomb(section, kInflated, claimed, before); }, 10, kMiB});
    }
  }
  ExpectRefused(cases);
}

// Tests that extraction of a bomb gives no more than the entry's size: the
// bytes behind the destination stay as they were, and it reports failure.
TEST(HostilePackageTest, BombOutputStaysWithinItsSize) {
  constexpr uint32_t kClaimed = 65536;
  constexpr size_t kCanary = 64;
  const std::vector<uint8_t> package =
      Bomb("data.bin", 64 * kMiB, kClaimed, {RegistryKeysEntry(2)});
  test::ParsedPackage parsed(package);
  ASSERT_EQ(parsed.error, PackageError::kNone);
  const uint32_t index = FindEntry(parsed.package, "data.bin");
  ASSERT_NE(index, kEntryNotFound);
  std::vector<uint8_t> destination(kClaimed + kCanary, 0xA5);
  EXPECT_FALSE(ExtractEntry(parsed.package, parsed.package.directory[index], destination.data()));
  EXPECT_EQ(std::vector<uint8_t>(destination.begin() + kClaimed, destination.end()),
            std::vector<uint8_t>(kCanary, 0xA5));
}

// Tests that a file entry whose stream would inflate far beyond its size is
// a failed file: the previous file is back under its name, no backup is
// left, the run goes on to the next file, and the level stays unrecorded.
TEST(HostilePackageTest, FileBombIsAFailedFile) {
  struct Case {
    const char* what;
    uint32_t inflated;
    uint32_t claimed;
  };
  const Case cases[] = {
      {"64 MiB of stream claiming 64 KiB", 64 * kMiB, 65536},
      {"8 MiB of stream claiming an empty file", 8 * kMiB, 0},
      {"1 MiB of stream claiming 1 byte", kMiB, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // The bomb stands between two good files.
    std::vector<uint8_t> package =
        Bomb("data.bin", c.inflated, c.claimed, {RegistryKeysEntry(2), Entry("a.txt", {'A'})});
    FakeSystem system;
    system.AddFile(TargetPath("data.bin"), "the user's data");
    const MeasuredRun run = ApplyHostilePackage(system, package);
    PrintMeasured(c.what, run);
    EXPECT_EQ(run.state, kFinished);
    EXPECT_EQ(system.FileContent(TargetPath("data.bin")), "the user's data");
    EXPECT_FALSE(system.HasFile(TargetPath("data.bin.bak")));
    EXPECT_EQ(system.FileContent(TargetPath("a.txt")), "A");
    std::string failed = kFileFailedFormat;
    failed.replace(failed.find("%s"), 2, TargetPath("data.bin"));
    EXPECT_EQ(system.statusText, failed);
    ExpectLevel(system, 1, c.what);
    EXPECT_EQ(system.OpenHandleCount(), 0u);
    EXPECT_LT(run.seconds, 10);
    // The mapped file holds the claimed size; nothing near the stream's.
    EXPECT_LT(run.peakHeap, c.claimed + kMiB);
  }
}

// Tests that a compressed directory of a million records (a few kilobytes
// inflating to 48 MB, within deflate's own ratio) is read and run: memory
// stays near the directory's size and time grows with the record count.
TEST(HostilePackageTest, CompressedDirectoryOfAMillionRecords) {
  constexpr uint32_t kRecords = 1000000;
  std::vector<uint8_t> package =
      hostile::WriteStored({RegistryKeysEntry(2), Entry(":Padding", {}, EntryStorage::kStored)});
  hostile::RepeatRecord(package, 1, kRecords);
  hostile::CompressDirectory(package);
  ASSERT_LT(package.size(), 200000u);
  FakeSystem system;
  const MeasuredRun run = ApplyHostilePackage(system, package);
  PrintMeasured("compressed directory of a million records", run);
  EXPECT_EQ(run.state, kFinished);
  EXPECT_EQ(system.statusTexts, std::vector<std::string>{kUpdateInstalledText});
  ExpectLevel(system, 2, "a million records");
  EXPECT_LT(run.seconds, 30);
  EXPECT_LT(run.peakHeap, size_t{kRecords} * kDirectoryEntrySize + 4 * kMiB);
}

}  // namespace
}  // namespace brx
