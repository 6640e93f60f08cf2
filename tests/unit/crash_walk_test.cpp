// The crash walk: one complete update killed at each of its seam calls in
// turn, then run again to its end. A kill may leave a file's old content
// waiting under its backup name and its successor half written, but never
// lose a file; and the same update run again must always finish the job.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/worker.h"
#include "authoring/section_encoders.h"
#include "authoring/writer.h"
#include "package/section_names.h"
#include "package/section_readers.h"
#include "run/user_texts.h"
#include "support/crashing_system.h"
#include "support/fake_system.h"
#include "support/steps_fixture.h"

namespace brx {
namespace {

constexpr char kKey[] = "SOFTWARE\\Brindlex\\Atlas";
constexpr char kFolder[] = "C:\\Atlas\\";
constexpr char kPackageFile[] = "C:\\pkg.brx";
constexpr char kCommandLine[] = "PATCH.EXE C:\\pkg.brx";
constexpr char kProgram[] = "atlas.exe";

struct TargetFile {
  std::string path;
  std::optional<std::string> before;  // nullopt: new to the target
  std::string after;
};

// The program file itself among the replaced files, a renamed file, nested
// new files in folders the file phase makes, a stored entry.
const std::vector<TargetFile>& UpdatedFiles() {
  static const std::vector<TargetFile> files = {
      {"lib\\core.dll", "core 4", "core 5 with more code"},
      {kProgram, "MZ atlas 4", "MZ atlas 5, rebuilt"},
      {"help\\readme.txt", "read me 4", "read me 5"},
      {"data\\maps\\world.map", std::nullopt, "a new world"},
      {"plugins\\extra\\tool.dll", std::nullopt, "a new tool"},
      {"atlas.cfg", "cfg 4", "cfg 5"},
  };
  return files;
}

const std::map<std::string, std::string> kUntouched = {{"user.ini", "the user's own settings"},
                                                       {"bin\\post.exe", "MZ"}};
const std::map<std::string, std::string> kRemoved = {{"old\\gone.txt", "obsolete"}};

std::vector<uint8_t> UpdatePackage() {
  RegistryKeysInput keys;
  keys.keyPath = kKey;
  keys.packageLevel = 5;
  std::vector<PackageEntrySource> entries = {
      SectionEntry(kRegistryKeysSection, EncodeRegistryKeys(keys)),
      SectionEntry(kStartupMsgSection, EncodeStartupMessage("Atlas", "Install update 5?")),
      SectionEntry(kNameTableSection, EncodeNameTable({{"docs\\readme.txt", "help\\readme.txt"}})),
      FileEntry("lib\\core.dll", "core 5 with more code", EntryStorage::kStored),
      FileEntry(kProgram, "MZ atlas 5, rebuilt"),
      FileEntry("docs\\readme.txt", "read me 5"),
      FileEntry("data\\maps\\world.map", "a new world"),
      FileEntry("plugins\\extra\\tool.dll", "a new tool"),
      FileEntry("atlas.cfg", "cfg 5"),
      SectionEntry(kCommandsSection,
                   EncodeCommands({{kCommandWait | kCommandRelative, "bin\\post.exe", ""}})),
      SectionEntry(kFilesToRemoveSection, EncodeTextList({"old\\gone.txt", "old"})),
      SectionEntry(kRegistryTableSection,
                   EncodeRegistryTable({{1, 1, "Software\\Brindlex\\Atlas", 2, "Theme", "dark"}})),
  };
  std::string error;
  std::vector<uint8_t> package = WritePackage(entries, PackageWriterOptions{}, &error);
  EXPECT_FALSE(package.empty()) << error;
  return package;
}

void SetUpTarget(FakeSystem& system, const std::vector<uint8_t>& package) {
  system.AddFile(kPackageFile, std::string(package.begin(), package.end()));
  system.PutRegistryText(RegistryRoot::kLocalMachine, kKey, "ProgramPath", "C:\\Atlas");
  system.PutRegistryText(RegistryRoot::kLocalMachine, kKey, "ProgramName", kProgram);
  system.PutRegistryDword(RegistryRoot::kLocalMachine, kKey, "PatchLevel", 4);
  for (const TargetFile& file : UpdatedFiles()) {
    if (file.before) system.AddFile(kFolder + file.path, *file.before);
  }
  for (const auto& [path, content] : kUntouched) system.AddFile(kFolder + path, content);
  for (const auto& [path, content] : kRemoved) system.AddFile(kFolder + path, content);
  system.AddProgram(std::string(kFolder) + "bin\\post.exe");
}

// A file of the update as a kill may leave it: absent, a complete version,
// or a successor not yet written (created empty, or mapped to its length
// with nothing written in it).
enum class Version { kAbsent, kComplete, kUnwritten, kForeign };

Version Classify(const std::optional<std::string>& content, const TargetFile& file) {
  if (!content) return Version::kAbsent;
  if (*content == file.after || (file.before && *content == *file.before)) {
    return Version::kComplete;
  }
  if (content->empty() || *content == std::string(file.after.size(), '\0')) {
    return Version::kUnwritten;
  }
  return Version::kForeign;
}

struct KillTally {
  int programOnlyAtBackup = 0;
  int unwrittenWithBackup = 0;
};

// Checks the promise after a kill: every file that stood before has a
// complete version under its own name or its backup name; a successor not
// yet written stands under its own name only beside a complete backup,
// unless the file is new to the target; nothing else appears.
void CheckAfterKill(const FakeSystem& system, KillTally* tally) {
  std::set<std::string> known;
  for (const TargetFile& file : UpdatedFiles()) {
    const std::string own = kFolder + file.path;
    const Version atOwn = Classify(system.FileContent(own), file);
    const Version atBackup = Classify(system.FileContent(own + ".bak"), file);
    EXPECT_NE(atOwn, Version::kForeign) << file.path;
    EXPECT_NE(atBackup, Version::kForeign) << file.path << ".bak";
    if (file.before) {
      EXPECT_TRUE(atOwn == Version::kComplete || atBackup == Version::kComplete)
          << file.path << " is lost";
      if (atOwn == Version::kUnwritten) {
        EXPECT_EQ(atBackup, Version::kComplete) << file.path;
        ++tally->unwrittenWithBackup;
      }
    }
    if (file.path == kProgram && atOwn == Version::kAbsent) ++tally->programOnlyAtBackup;
    known.insert(FakeSystem::NormalizePath(own));
    known.insert(FakeSystem::NormalizePath(own + ".bak"));
  }
  for (const auto& [path, content] : kUntouched) {
    EXPECT_EQ(system.FileContent(kFolder + path), content) << path;
    known.insert(FakeSystem::NormalizePath(kFolder + path));
  }
  for (const auto& [path, content] : kRemoved) {
    const std::optional<std::string> now = system.FileContent(kFolder + path);
    EXPECT_TRUE(!now || *now == content) << path;
    known.insert(FakeSystem::NormalizePath(kFolder + path));
  }
  const std::string folder = FakeSystem::NormalizePath(kFolder) + "\\";
  for (const auto& [path, content] : system.Snapshot()) {
    if (path.rfind(folder, 0) != 0 || path.back() == '\\') continue;
    EXPECT_TRUE(known.count(path)) << "unexpected file " << path;
  }
  EXPECT_EQ(system.OpenHandleCount(), 0u);
}

// Checks that a run went to its end: the full new state, no backup left,
// the success text and the new level.
void CheckFinished(const FakeSystem& system) {
  for (const TargetFile& file : UpdatedFiles()) {
    EXPECT_EQ(system.FileContent(kFolder + file.path), file.after) << file.path;
  }
  for (const auto& [path, content] : kUntouched) {
    EXPECT_EQ(system.FileContent(kFolder + path), content) << path;
  }
  for (const auto& [path, content] : kRemoved) EXPECT_FALSE(system.HasFile(kFolder + path));
  for (const auto& [path, content] : system.Snapshot()) {
    EXPECT_EQ(path.find(".bak"), std::string::npos) << path;
  }
  EXPECT_EQ(system.statusText, kUpdateInstalledText);
  const auto level = system.GetRegistryValue(RegistryRoot::kLocalMachine, kKey, "PatchLevel");
  EXPECT_TRUE(level && level->bytes == std::string("\x05\0\0\0", 4));
  EXPECT_EQ(system.OpenHandleCount(), 0u);
}

// Runs the update killed at call `crashAt`; false when the run ended first.
bool RunKilledAt(FakeSystem& system, int crashAt) {
  CrashingSystem dying(system, crashAt);
  WorkerState state{kRunning};
  RunWorker(dying, kCommandLine, state);
  return dying.crashed();
}

// Tests that killing the update at each of its seam calls loses no file,
// and that running the same update again then finishes it: the full new
// state, no backup left, the level recorded. Among the kills are those that
// leave the program file only under its backup name, which discovery must
// still take for the installed program.
TEST(CrashWalkTest, KilledAtEveryCallThenRunAgain) {
  const std::vector<uint8_t> package = UpdatePackage();
  FakeSystem clean;
  SetUpTarget(clean, package);
  WorkerState cleanState{kRunning};
  RunWorker(clean, kCommandLine, cleanState);
  CheckFinished(clean);
  const int calls = clean.callCount;

  KillTally tally;
  int kills = 0;
  for (int crashAt = 0; crashAt < calls; ++crashAt) {
    SCOPED_TRACE("killed at call " + std::to_string(crashAt) + ": " + clean.calls[crashAt]);
    FakeSystem system;
    SetUpTarget(system, package);
    ASSERT_TRUE(RunKilledAt(system, crashAt));
    ++kills;
    CheckAfterKill(system, &tally);
    WorkerState state{kRunning};
    RunWorker(system, kCommandLine, state);
    CheckFinished(system);
  }
  std::printf(
      "crash walk: %d kills, each run again to its end; %d left the program only at its "
      "backup, %d a file unwritten beside its backup\n",
      kills, tally.programOnlyAtBackup, tally.unwrittenWithBackup);
  EXPECT_GT(tally.programOnlyAtBackup, 0);
  EXPECT_GT(tally.unwrittenWithBackup, 0);
}

// Where to kill a run to reach every state of the files a kill in its file
// phase can leave: just before each call from the first file's progress
// text to the last file's result that changes a file. What a kill leaves
// depends only on which of those calls took effect (a folder made on the
// way changes no file).
std::vector<int> FilePhaseKillPoints(const std::vector<std::string>& calls) {
  const std::string updating = kUpdatingFileFormat;
  const std::string updated = kFileUpdatedFormat;
  const std::string progress = "SetStatusText " + updating.substr(0, updating.find("%s"));
  const std::string result = "SetStatusText " + updated.substr(0, updated.find("%s"));
  int first = -1;
  int last = -1;
  for (int index = 0; index < static_cast<int>(calls.size()); ++index) {
    if (first < 0 && calls[index].rfind(progress, 0) == 0) first = index;
    if (calls[index].rfind(result, 0) == 0) last = index;
  }
  std::vector<int> points;
  for (int index = std::max(first, 0); index <= last; ++index) {
    for (const char* name :
         {"MovePath ", "DeletePath ", "CreateFileForWriting ", "CreateMapping ", "FillView "}) {
      if (calls[index].rfind(name, 0) == 0) points.push_back(index);
    }
  }
  return points;
}

// Tests that a second kill, while the update runs again after a first one,
// loses no file either, and that a third run finishes: each kill point of
// the file phase, then each of the run again after it.
TEST(CrashWalkTest, KilledAgainWhileRunningAgain) {
  const std::vector<uint8_t> package = UpdatePackage();
  FakeSystem clean;
  SetUpTarget(clean, package);
  WorkerState cleanState{kRunning};
  RunWorker(clean, kCommandLine, cleanState);

  KillTally tally;
  int pairs = 0;
  for (int firstKill : FilePhaseKillPoints(clean.calls)) {
    // The run again after this kill, once to its end to learn its calls.
    FakeSystem killedOnce;
    SetUpTarget(killedOnce, package);
    ASSERT_TRUE(RunKilledAt(killedOnce, firstKill));
    const size_t from = killedOnce.calls.size();
    WorkerState onceState{kRunning};
    RunWorker(killedOnce, kCommandLine, onceState);
    const std::vector<std::string> rerunCalls(killedOnce.calls.begin() + from,
                                              killedOnce.calls.end());
    ASSERT_FALSE(FilePhaseKillPoints(rerunCalls).empty());
    for (int secondKill : FilePhaseKillPoints(rerunCalls)) {
      SCOPED_TRACE("killed at call " + std::to_string(firstKill) + ", then at call " +
                   std::to_string(secondKill) + ": " + rerunCalls[secondKill]);
      FakeSystem system;
      SetUpTarget(system, package);
      ASSERT_TRUE(RunKilledAt(system, firstKill));
      ASSERT_TRUE(RunKilledAt(system, secondKill));
      ++pairs;
      CheckAfterKill(system, &tally);
      WorkerState state{kRunning};
      RunWorker(system, kCommandLine, state);
      CheckFinished(system);
    }
  }
  std::printf(
      "crash walk: %d pairs of kills in the file phase, each run again to its end; %d "
      "left the program only at its backup\n",
      pairs, tally.programOnlyAtBackup);
  EXPECT_GT(tally.programOnlyAtBackup, 0);
}

}  // namespace
}  // namespace brx
