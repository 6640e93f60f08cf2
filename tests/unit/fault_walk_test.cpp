// The fault walk: one complete update run through the whole worker against
// FakeSystem, once to count its seam calls and then once for each call with
// that call failing. Whatever fails, no file of the target may be lost or
// left partial, and the new patch level may be recorded only when every
// file and command went through.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/worker.h"
#include "authoring/section_encoders.h"
#include "authoring/writer.h"
#include "package/section_names.h"
#include "package/section_readers.h"
#include "run/user_texts.h"
#include "support/fake_system.h"
#include "support/steps_fixture.h"

namespace brx {
namespace {

constexpr char kKey[] = "SOFTWARE\\Brindlex\\Atlas";
constexpr char kFolder[] = "C:\\Atlas\\";
constexpr char kPackageFile[] = "C:\\pkg.brx";
constexpr char kCommandLine[] = "PATCH.EXE C:\\pkg.brx";
constexpr int32_t kInstalledLevel = 4;
constexpr int32_t kPackageLevel = 5;

// Relative paths of the files an update touches: the content before the run
// (nullopt: new to the target) and the content the package brings.
struct TargetFile {
  std::string path;
  std::optional<std::string> before;
  std::string after;
};

const std::vector<TargetFile>& InstalledFiles() {
  static const std::vector<TargetFile> files = {
      {"atlas.exe", "MZ atlas 4", "MZ atlas 5, rebuilt"},
      {"lib\\core.dll", "core 4", "core 5 with more code"},
      {"help\\readme.txt", "read me 4", "read me 5"},  // entry docs\readme.txt, renamed
      {"data\\maps\\world.map", std::nullopt, "a new world"},
      {"plugins\\extra\\tool.dll", std::nullopt, "a new tool"},
      {"empty.cfg", std::nullopt, ""},
  };
  return files;
}

// Files left alone by the update, and files it removes.
const std::map<std::string, std::string> kUntouched = {{"user.ini", "the user's own settings"},
                                                       {"bin\\post.exe", "MZ"}};
const std::map<std::string, std::string> kRemoved = {{"old\\gone.txt", "obsolete"}};

std::vector<uint8_t> CompletePackage() {
  RegistryKeysInput keys;
  keys.keyPath = kKey;
  keys.packageLevel = kPackageLevel;
  const std::vector<PackageEntrySource> entries = {
      SectionEntry(kRegistryKeysSection, EncodeRegistryKeys(keys)),
      SectionEntry(kStartupMsgSection, EncodeStartupMessage("Atlas", "Install update 5?")),
      SectionEntry(kNameTableSection, EncodeNameTable({{"docs\\readme.txt", "help\\readme.txt"}})),
      SectionEntry(kFoldersSection, EncodeTextList({"data", "data\\maps"})),
      FileEntry("atlas.exe", "MZ atlas 5, rebuilt"),
      FileEntry("lib\\core.dll", "core 5 with more code", EntryStorage::kStored),
      FileEntry("docs\\readme.txt", "read me 5"),
      FileEntry("data\\maps\\world.map", "a new world"),
      FileEntry("plugins\\extra\\tool.dll", "a new tool"),
      FileEntry("empty.cfg", ""),
      SectionEntry(kCommandsSection,
                   EncodeCommands({{kCommandWait, "C:\\Tools\\convert.exe", "--maps"},
                                   {kCommandWait | kCommandRelative, "bin\\post.exe", ""}})),
      SectionEntry(kFilesToRemoveSection, EncodeTextList({"old\\gone.txt", "old"})),
      SectionEntry(kRegistryTableSection,
                   EncodeRegistryTable({{1, 1, "Software\\Brindlex\\Atlas", 2, "Theme", "dark"},
                                        {2, 1, "Software\\Brindlex\\Skipped", 2, "x", "y"},
                                        {1, 2, "SOFTWARE\\Brindlex\\Atlas", 1, "Maps", "0x10"}})),
  };
  std::string error;
  std::vector<uint8_t> package = WritePackage(entries, PackageWriterOptions{}, &error);
  EXPECT_FALSE(package.empty()) << error;
  return package;
}

void SetUpTarget(FakeSystem& system, const std::vector<uint8_t>& package) {
  system.AddFile(kPackageFile, std::string(package.begin(), package.end()));
  system.PutRegistryText(RegistryRoot::kLocalMachine, kKey, "ProgramPath", "C:\\Atlas");
  system.PutRegistryText(RegistryRoot::kLocalMachine, kKey, "ProgramName", "atlas.exe");
  system.PutRegistryDword(RegistryRoot::kLocalMachine, kKey, "PatchLevel", kInstalledLevel);
  for (const TargetFile& file : InstalledFiles()) {
    if (file.before) system.AddFile(kFolder + file.path, *file.before);
  }
  for (const auto& [path, content] : kUntouched) system.AddFile(kFolder + path, content);
  for (const auto& [path, content] : kRemoved) system.AddFile(kFolder + path, content);
  system.AddProgram("C:\\Tools\\convert.exe");
  system.AddProgram(std::string(kFolder) + "bin\\post.exe");
}

struct Outcome {
  bool levelRecorded = false;
  bool allInstalled = true;
  int backups = 0;
};

// Checks the promise after one run and gives what the run achieved.
Outcome CheckRun(const FakeSystem& system) {
  Outcome outcome;
  for (const TargetFile& file : InstalledFiles()) {
    const std::optional<std::string> content = system.FileContent(kFolder + file.path);
    if (content != file.after) outcome.allInstalled = false;
    // Old content or the complete new content; a file new to the target
    // may instead be absent.
    EXPECT_TRUE(content == file.after || content == file.before)
        << file.path << " holds " << content.value_or("(nothing)");
  }
  for (const auto& [path, content] : kUntouched) {
    EXPECT_EQ(system.FileContent(kFolder + path), content) << path;
  }
  for (const auto& [path, content] : kRemoved) {
    const std::optional<std::string> now = system.FileContent(kFolder + path);
    EXPECT_TRUE(!now || *now == content) << path;
  }
  for (const auto& [path, content] : system.Snapshot()) {
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".bak") == 0) ++outcome.backups;
  }
  const auto level = system.GetRegistryValue(RegistryRoot::kLocalMachine, kKey, "PatchLevel");
  outcome.levelRecorded = level && level->bytes == std::string("\x05\0\0\0", 4);
  EXPECT_EQ(system.OpenHandleCount(), 0u);
  return outcome;
}

// A backup stays only when the delete of the backup of a file that stood
// before fails: that delete is not looked at, and the next run moves past it.
int ExpectedBackups(const std::string& failedCall) {
  for (const TargetFile& file : InstalledFiles()) {
    if (file.before && failedCall == "DeletePath " + std::string(kFolder) + file.path + ".bak") {
      return 1;
    }
  }
  return 0;
}

// Tests that the complete update succeeds without faults, and that failing
// each of its seam calls in turn loses no file, leaves a backup only where a
// backup's own delete failed, and records the new level only when every
// file and command went through (and then shows the success text).
TEST(FaultWalkTest, EverySeamCallFailingInTurn) {
  const std::vector<uint8_t> package = CompletePackage();

  FakeSystem clean;
  SetUpTarget(clean, package);
  WorkerState cleanState{kRunning};
  RunWorker(clean, kCommandLine, cleanState);
  const Outcome cleanOutcome = CheckRun(clean);
  ASSERT_TRUE(cleanOutcome.allInstalled);
  ASSERT_TRUE(cleanOutcome.levelRecorded);
  ASSERT_EQ(cleanOutcome.backups, 0);
  ASSERT_EQ(clean.statusText, kUpdateInstalledText);
  ASSERT_EQ(clean.started.size(), 2u);
  ASSERT_FALSE(clean.HasFolder(std::string(kFolder) + "old"));
  ASSERT_EQ(
      clean.GetRegistryValue(RegistryRoot::kCurrentUser, "Software\\Brindlex\\Atlas", "Theme")
          ->bytes,
      std::string("dark\0", 5));
  const std::vector<std::string> calls = clean.calls;

  int runs = 0;
  for (int index = 0; index < static_cast<int>(calls.size()); ++index) {
    SCOPED_TRACE("call " + std::to_string(index) + ": " + calls[index]);
    FakeSystem system;
    SetUpTarget(system, package);
    system.failCallIndex = index;
    WorkerState state{kRunning};
    RunWorker(system, kCommandLine, state);
    ++runs;

    const Outcome outcome = CheckRun(system);
    EXPECT_TRUE(state == kFinished || state == kExit);
    EXPECT_EQ(outcome.backups, ExpectedBackups(calls[index]));
    if (outcome.levelRecorded) {
      EXPECT_TRUE(outcome.allInstalled);
      EXPECT_EQ(system.started.size(), 2u);
      EXPECT_TRUE(system.messageBoxes.size() == 1);  // the confirmation only
    }
    // The success text stands exactly when the level was recorded, unless
    // the failed call is that text itself or the level's own write.
    const bool successShown = system.statusText == kUpdateInstalledText;
    const bool completionCall = calls[index].rfind("SetStatusText", 0) == 0 ||
                                calls[index].rfind("OpenRegistryKey hklm", 0) == 0 ||
                                calls[index].rfind("SetRegistryValue PatchLevel", 0) == 0;
    if (!completionCall) {
      EXPECT_EQ(successShown, outcome.levelRecorded);
    }
    if (successShown) {
      EXPECT_TRUE(outcome.allInstalled);
    }
  }
  std::printf("fault walk: %d runs, one for each seam call of the complete update\n", runs);
  EXPECT_EQ(runs, static_cast<int>(calls.size()));
}

}  // namespace
}  // namespace brx
