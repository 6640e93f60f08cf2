// Hostile section payloads run through the whole installer: lists of a
// million items, every payload without its terminator, and a registry table
// cut at each byte. Each runs to its end in bounded time and memory and does
// exactly what the complete part of the payload asks. Time limits are about
// 20 times what a loaded machine took under the sanitizers; the measured
// figures are printed with each case.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "authoring/section_encoders.h"
#include "package/section_names.h"
#include "run/user_texts.h"
#include "support/counting_system.h"
#include "support/hostile_packages.h"
#include "support/hostile_run.h"
#include "support/target_fixture.h"

namespace brx {
namespace {

using test::ApplyHostilePackage;
using test::CountingSystem;
using test::MeasuredRun;
using test::PrintMeasured;

constexpr uint32_t kMillion = 1000000;
constexpr size_t kMiB = 1024 * 1024;

std::string TargetPath(const std::string& name) {
  return std::string(kTargetFolder) + "\\" + name;
}

template <size_t N>
std::string Raw(const char (&bytes)[N]) {
  return std::string(bytes, N - 1);  // every byte but the literal's own terminator
}

std::vector<uint8_t> PayloadOf(const std::string& bytes) {
  return {bytes.begin(), bytes.end()};
}

// A registry table record, as the encoder writes it, without the table's
// end (operation 0 and the one extra zero byte).
std::string RegistryRecord(uint32_t root, const std::string& key, uint32_t type,
                           const std::string& name, const std::string& data) {
  const std::vector<uint8_t> table = EncodeRegistryTable({{1, root, key, type, name, data}});
  return std::string(table.begin(), table.end() - 5);
}

struct MillionCase {
  const char* what;
  std::vector<PackageEntrySource> entries;  // besides :RegistryKeys
  uint64_t failingStart = UINT64_MAX;
  std::function<void(const CountingSystem&, const MeasuredRun&)> check;
};

// Tests that a section of a million items (folders, files to remove, name
// pairs, commands, registry records) is worked through to its end, or to
// the first failed command, in bounded time, holding little more than the
// section's own block.
TEST(HostileSectionsTest, AMillionItems) {
  const std::string commandRecord =
      Raw("\x01"
          "C:\\Tools\\tool.exe\0-x\0");
  const std::vector<MillionCase> cases = {
      {"a million folders",
       {Entry(kFoldersSection, hostile::Repeated(Raw("new\0"), kMillion, Raw("\0")))},
       UINT64_MAX,
       [](const CountingSystem& s, const MeasuredRun&) {
         EXPECT_EQ(s.folders.count, kMillion);
         EXPECT_EQ(s.folders.last, TargetPath("new"));
       }},
      {"a million files to remove",
       {Entry(kFilesToRemoveSection, hostile::Repeated(Raw("old.txt\0"), kMillion, Raw("\0")))},
       UINT64_MAX,
       [](const CountingSystem& s, const MeasuredRun&) {
         EXPECT_EQ(s.deletes.count, kMillion);
         EXPECT_EQ(s.folderRemovals.count, kMillion);
         EXPECT_EQ(s.folderRemovals.last, TargetPath("old.txt"));
       }},
      {"a million name pairs, the last one used",
       {Entry(kNameTableSection,
              [] {
                std::vector<uint8_t> table = hostile::Repeated(
                    Raw("src.txt\0dst.txt\0"), kMillion - 1, Raw("a.txt\0b.txt\0\0"));
                return table;
              }()),
        Entry("a.txt", {'A'}), Entry("c.txt", {'C'})},
       UINT64_MAX,
       [](const CountingSystem& s, const MeasuredRun&) {
         EXPECT_EQ(s.FileContent(TargetPath("b.txt")), "A");
         EXPECT_FALSE(s.HasFile(TargetPath("a.txt")));
         EXPECT_EQ(s.FileContent(TargetPath("c.txt")), "C");
       }},
      {"a million commands",
       {Entry(kCommandsSection, hostile::Repeated(commandRecord, kMillion, Raw("\0\0")))},
       UINT64_MAX,
       [](const CountingSystem& s, const MeasuredRun&) {
         EXPECT_EQ(s.starts.count, kMillion);
         EXPECT_EQ(s.waits, kMillion);
         EXPECT_EQ(s.processCloses, 2 * uint64_t{kMillion});
         EXPECT_EQ(s.errorFileChecks, kMillion);
         EXPECT_TRUE(s.messageBoxes.empty());
       }},
      {"a million commands, the first failing",
       {Entry(kCommandsSection, hostile::Repeated(commandRecord, kMillion, Raw("\0\0")))},
       0,
       [](const CountingSystem& s, const MeasuredRun&) {
         EXPECT_EQ(s.starts.count, 1u);
         ASSERT_EQ(s.messageBoxes.size(), 1u);
         EXPECT_EQ(s.messageBoxes[0].text, kCommandsFailedText);
       }},
      {"a million registry records",
       {Entry(kRegistryTableSection,
              hostile::Repeated(RegistryRecord(1, "Software\\Brindlex", 2, "Theme", "dark"),
                                kMillion, Raw("\0\0\0\0")))},
       UINT64_MAX,
       [](const CountingSystem& s, const MeasuredRun&) {
         EXPECT_EQ(s.registryKeys.count, kMillion);
         EXPECT_EQ(s.registryKeys.last, "Software\\Brindlex");
         EXPECT_EQ(s.tableValues, kMillion);
         EXPECT_EQ(s.tableKeyCloses, kMillion);
       }},
  };
  for (const MillionCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<PackageEntrySource> entries = {RegistryKeysEntry(2)};
    entries.insert(entries.end(), c.entries.begin(), c.entries.end());
    size_t largestPayload = 0;
    for (const PackageEntrySource& entry : entries) {
      largestPayload = std::max(largestPayload, entry.content.size());
    }
    // zlib's fastest level: the package is built in a fraction of the time.
    const std::vector<uint8_t> package = hostile::WriteStored(entries, 1);
    ASSERT_FALSE(package.empty());
    CountingSystem system;
    system.failingStart = c.failingStart;
    const MeasuredRun run = ApplyHostilePackage(system, package);
    PrintMeasured(c.what, run);
    EXPECT_EQ(run.state, kFinished);
    c.check(system, run);
    const bool failed = c.failingStart != UINT64_MAX;
    EXPECT_EQ(system.statusText == kUpdateInstalledText, !failed);
    EXPECT_EQ(system.OpenHandleCount(), 0u);
    EXPECT_LT(run.seconds, 60);
    // The section's block (one copy at a time) and small change.
    EXPECT_LT(run.peakHeap, largestPayload + 2 * kMiB);
  }
}

struct UnterminatedCase {
  const char* what;
  const char* section;
  std::string payload;  // the whole payload: no terminator behind its last item
  std::function<void(const FakeSystem&)> check;
};

// Tests that a payload whose last item or list lacks its terminator, in
// every section, is read only within its block: a text cut by the block's
// end is read up to that end, a record it cuts is not used, and a list
// without its closing item ends with the block.
TEST(HostileSectionsTest, PayloadsWithoutTheirTerminator) {
  const std::string keys = [] {
    const std::vector<uint8_t> payload = EncodeRegistryKeys(TargetKeys(2));
    return std::string(payload.begin(), payload.end());
  }();
  const std::string command =
      Raw("\x01"
          "C:\\Tools\\tool.exe\0");
  const std::string theme = RegistryRecord(1, "Software\\Brindlex", 2, "Theme", "dark");
  const auto installed = [](const FakeSystem& s) { EXPECT_EQ(s.statusText, kUpdateInstalledText); };
  const std::vector<UnterminatedCase> cases = {
      {":RegistryKeys without the zero behind the level", kRegistryKeysSection,
       keys.substr(0, keys.size() - 1), installed},
      {":RegistryKeys cut in its last text", kRegistryKeysSection,
       keys.substr(0, keys.find("PatchLevel") + 5),
       [](const FakeSystem& s) {
         EXPECT_EQ(s.statusTexts, std::vector<std::string>{kTargetNotFoundText});
       }},
      {":StartupMsg question without terminator", kStartupMsgSection, Raw("Viewer\0Install?"),
       [&](const FakeSystem& s) {
         ASSERT_EQ(s.messageBoxes.size(), 1u);
         EXPECT_EQ(s.messageBoxes[0].caption, "Viewer");
         EXPECT_EQ(s.messageBoxes[0].text, "Install?");
         installed(s);
       }},
      {":StartupMsg caption without terminator", kStartupMsgSection, Raw("Viewer"),
       [&](const FakeSystem& s) {
         ASSERT_EQ(s.messageBoxes.size(), 1u);
         EXPECT_EQ(s.messageBoxes[0].caption, "Viewer");
         EXPECT_EQ(s.messageBoxes[0].text, "");
         installed(s);
       }},
      {":XlatNamesTable installed name without terminator", kNameTableSection, Raw("a.txt\0b.txt"),
       [&](const FakeSystem& s) {
         EXPECT_EQ(s.FileContent(TargetPath("b.txt")), "A");
         EXPECT_FALSE(s.HasFile(TargetPath("a.txt")));
         installed(s);
       }},
      {":XlatNamesTable source name without terminator", kNameTableSection, Raw("a.txt"),
       [](const FakeSystem& s) {
         // The last source name translates to the empty text: no file can be written.
         EXPECT_FALSE(s.HasFile(TargetPath("a.txt")));
         EXPECT_NE(s.statusText, kUpdateInstalledText);
       }},
      {":Folders without closing item", kFoldersSection, Raw("x\0y"),
       [&](const FakeSystem& s) {
         EXPECT_TRUE(s.HasFolder(TargetPath("x")));
         EXPECT_TRUE(s.HasFolder(TargetPath("y")));
         installed(s);
       }},
      {":FilesToRemove without closing item", kFilesToRemoveSection, Raw("o1.txt\0o2.txt"),
       [&](const FakeSystem& s) {
         EXPECT_FALSE(s.HasFile(TargetPath("o1.txt")));
         EXPECT_FALSE(s.HasFile(TargetPath("o2.txt")));
         installed(s);
       }},
      {":CommandsToExecute without closing record", kCommandsSection, command + Raw("-a\0"),
       [&](const FakeSystem& s) {
         ASSERT_EQ(s.started.size(), 1u);
         EXPECT_EQ(s.started[0].commandLine, "DUMMY -a");
         installed(s);
       }},
      {":CommandsToExecute arguments without terminator", kCommandsSection,
       command + Raw("-a\0") + command + Raw("-b"),
       [&](const FakeSystem& s) {
         ASSERT_EQ(s.started.size(), 1u);
         EXPECT_EQ(s.started[0].commandLine, "DUMMY -a");
         installed(s);
       }},
      {":RegistryTable without its closing zero", kRegistryTableSection, theme,
       [&](const FakeSystem& s) {
         EXPECT_TRUE(s.GetRegistryValue(RegistryRoot::kCurrentUser, "Software\\Brindlex", "Theme"));
         installed(s);
       }},
      {":RegistryTable data without terminator", kRegistryTableSection,
       theme.substr(0, theme.size() - 1),
       [&](const FakeSystem& s) {
         EXPECT_FALSE(s.HasRegistryKey(RegistryRoot::kCurrentUser, "Software\\Brindlex"));
         installed(s);
       }},
  };
  for (const UnterminatedCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<PackageEntrySource> entries;
    if (std::string(c.section) != kRegistryKeysSection) entries.push_back(RegistryKeysEntry(2));
    // Stored, so the block holds exactly these bytes: the sanitizer sees any
    // read past the block and its one guard byte.
    entries.push_back(Entry(c.section, PayloadOf(c.payload), EntryStorage::kStored));
    entries.push_back(Entry("a.txt", {'A'}));
    FakeSystem system;
    system.AddFile(TargetPath("o1.txt"), "1");
    system.AddFile(TargetPath("o2.txt"), "2");
    system.AddProgram("C:\\Tools\\tool.exe");
    const MeasuredRun run = ApplyHostilePackage(system, MakePackage(entries));
    EXPECT_EQ(run.state, kFinished);
    EXPECT_EQ(system.OpenHandleCount(), 0u);
    c.check(system);
  }
}

// Tests that a registry table cut at any byte writes each record that ends
// before the cut and not the record the cut goes through (its key is not
// even created).
TEST(HostileSectionsTest, RegistryTableCutAtEveryByte) {
  struct Record {
    RegistryRoot root;
    std::string key;
    std::string name;
    std::string bytes;
  };
  const std::vector<Record> records = {
      {RegistryRoot::kCurrentUser, "Software\\Brindlex\\One", "Theme",
       RegistryRecord(1, "Software\\Brindlex\\One", 2, "Theme", "dark")},
      {RegistryRoot::kLocalMachine, "Software\\Brindlex\\Two", "Level",
       RegistryRecord(2, "Software\\Brindlex\\Two", 1, "Level", "0x1F")},
      {RegistryRoot::kCurrentUser, "Software\\Brindlex\\Three", "",
       RegistryRecord(1, "Software\\Brindlex\\Three", 0, "", "")},
  };
  std::string table;
  std::vector<size_t> ends;
  for (const Record& record : records) {
    table += record.bytes;
    ends.push_back(table.size());
  }
  table += Raw("\0\0\0\0");
  for (size_t cut = 0; cut < table.size(); ++cut) {
    SCOPED_TRACE(testing::Message() << "cut after " << cut << " of " << table.size() << " bytes");
    FakeSystem system;
    const MeasuredRun run = ApplyHostilePackage(
        system, MakePackage({RegistryKeysEntry(2),
                             Entry(kRegistryTableSection, PayloadOf(table.substr(0, cut)),
                                   EntryStorage::kStored)}));
    EXPECT_EQ(run.state, kFinished);
    EXPECT_EQ(system.statusText, kUpdateInstalledText);
    for (size_t i = 0; i < records.size(); ++i) {
      const bool complete = ends[i] <= cut;
      EXPECT_EQ(system.HasRegistryKey(records[i].root, records[i].key), complete) << i;
      if (!records[i].name.empty()) {
        EXPECT_EQ(
            system.GetRegistryValue(records[i].root, records[i].key, records[i].name).has_value(),
            complete)
            << i;
      }
    }
  }
}

}  // namespace
}  // namespace brx
