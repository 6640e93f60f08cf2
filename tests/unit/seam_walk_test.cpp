// The seam walk: a complete run through the whole worker, made once to list
// its seam calls, then again for each call in turn (a) with that call
// failing and (b) with the process killed at it and the same run made again
// to its end. Whatever happens nothing crashes or stays open, no file is
// lost or left partial, the run made again finishes the job, and the new
// level is recorded only when every file and command went through.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "package/block_memory.h"
#include "package/section_names.h"
#include "package/section_readers.h"
#include "run/user_texts.h"
#include "support/target_fixture.h"

namespace brx::test {
namespace {

struct TargetFile {
  std::string path;
  std::optional<std::string> before;  // nothing: new to the target
  std::string after;
};

// The program itself, a renamed file, a stored entry, new files in folders
// that :Folders and the file phase make, and an empty file.
const std::vector<TargetFile> kFiles = {
    {"atlas.exe", "MZ atlas 1", "MZ atlas 2, rebuilt"},
    {"readme.txt", "Atlas 1", "Atlas 2"},
    {"Maps\\north.map", "north 1", "north 2 with more roads"},
    {"data\\world.map", std::nullopt, "a new world"},
    {"lib\\extra\\core.dll", std::nullopt, "a new library"},
    {"empty.cfg", std::nullopt, ""},
};

std::vector<PackageEntrySource> UpdateEntries() {
  return {Keys(2),
          Section(kStartupMsgSection, EncodeStartupMessage("Atlas", "Install update 2?")),
          Section(kNameTableSection, EncodeNameTable({{"docs\\readme.txt", "readme.txt"}})),
          Section(kFoldersSection, EncodeTextList({"data", "backups"})),
          FileEntry("atlas.exe", "MZ atlas 2, rebuilt"),
          FileEntry("docs\\readme.txt", "Atlas 2"),
          FileEntry("Maps\\north.map", "north 2 with more roads", EntryStorage::kStored),
          FileEntry("data\\world.map", "a new world"),
          FileEntry("lib\\extra\\core.dll", "a new library"),
          FileEntry("empty.cfg", ""),
          Section(kCommandsSection,
                  EncodeCommands({{kCommandWait, kTool, "-x"},
                                  {kCommandWait | kCommandRelative, kRelativeTool, ""}})),
          Section(kFilesToRemoveSection, EncodeTextList({"old.map"})),
          Section(kRegistryTableSection,
                  EncodeRegistryTable({{1, 1, "Software\\Brindlex\\Atlas", 2, "Theme", "dark"}}))};
}

FakeSystem& Prepare(FakeSystem& system, const std::vector<uint8_t>& package) {
  InstallTarget(system);
  system.AddFile(kPackageFile, Text(package));
  return system;
}

bool LevelRecorded(const FakeSystem& system) {
  return system.Snapshot()["hklm\\software\\brindlex\\atlas @patchlevel"] == Raw("4:\x02\0\0\0");
}

// The files waiting under a backup name of `path`: ".bak" or ".bak.N".
std::vector<std::string> Backups(const FakeSystem& system, const std::string& path) {
  const std::string backup = FakeSystem::NormalizePath(path + ".bak");
  std::vector<std::string> found;
  for (const auto& [key, content] : system.Snapshot()) {
    const std::string rest =
        key.substr(0, backup.size()) == backup ? key.substr(backup.size()) : "";
    if (key == backup || (rest.size() > 1 && rest[0] == '.' &&
                          rest.find_first_not_of("0123456789", 1) == std::string::npos)) {
      found.push_back(content);
    }
  }
  return found;
}

bool IsBackup(const std::string& key) {
  const size_t at = key.rfind(".bak");
  return at != std::string::npos &&
         (at + 4 == key.size() ||
          (key[at + 4] == '.' && key.find_first_not_of("0123456789", at + 5) == std::string::npos));
}

// Checks that no file is lost or partial: each holds its old or its new
// content (a new one may be absent). After a kill a file may also wait
// under its backup name beside a successor not yet written; nothing else
// appears, and the level stands only with every new file in place.
void ExpectNothingLost(const FakeSystem& system, bool killed) {
  std::set<std::string> known = {FakeSystem::NormalizePath(kErrorFile)};
  bool allNew = true;
  for (const TargetFile& file : kFiles) {
    const std::string path = kTargetFolder + file.path;
    const std::optional<std::string> own = system.FileContent(path);
    const bool unwritten = own && (own->empty() || *own == std::string(file.after.size(), '\0'));
    allNew = allNew && own == file.after;
    EXPECT_TRUE(own == file.after || own == file.before || (killed && (!own || unwritten)))
        << file.path << " holds " << own.value_or("nothing");
    bool backedUp = false;
    for (const std::string& backup : Backups(system, path)) {
      EXPECT_EQ(backup, file.before) << file.path << ".bak";
      backedUp = backedUp || backup == file.before;
    }
    if (file.before) {
      EXPECT_TRUE(own == file.before || own == file.after || backedUp) << file.path << " is lost";
    }
    known.insert(FakeSystem::NormalizePath(path));
  }
  const std::string folder = FakeSystem::NormalizePath(kTargetFolder) + "\\";
  for (const auto& [path, content] : system.Snapshot()) {
    if (path.rfind(folder, 0) != 0 || path.back() == '\\' || known.count(path) != 0 ||
        IsBackup(path)) {
      continue;
    }
    EXPECT_TRUE(path == folder + "old.map" || content == "MZ") << "unexpected " << path;
  }
  if (LevelRecorded(system)) {
    EXPECT_TRUE(allNew);
  }
  EXPECT_EQ(system.OpenHandleCount(), 0u);
}

// Checks that a run went to its end: the full new state, the success text
// and the new level. The only backup left (at most backupsLeft) is one a
// killed run made before: the run again cannot tell it from a user's own
// file of that name, so it keeps it, and it holds the file as it was before
// the update.
void ExpectFinished(const FakeSystem& system, size_t backupsLeft = 0) {
  for (const TargetFile& file : kFiles) {
    const std::string path = kTargetFolder + file.path;
    EXPECT_EQ(system.FileContent(path), file.after) << file.path;
    for (const std::string& backup : Backups(system, path)) {
      EXPECT_EQ(backup, file.before) << file.path << " left a backup";
    }
  }
  EXPECT_FALSE(system.FileContent(std::string(kTargetFolder) + "old.map"));
  size_t backups = 0;
  for (const auto& [path, content] : system.Snapshot()) backups += IsBackup(path);
  EXPECT_LE(backups, backupsLeft);
  EXPECT_EQ(system.StatusTexts().back(), kUpdateInstalledText);
  EXPECT_TRUE(LevelRecorded(system));
  EXPECT_EQ(system.OpenHandleCount(), 0u);
}

// Tests that failing each seam call of a complete update loses nothing;
// that the success text and the level go together, and only with every
// file and command done; and that killing the update at each call loses
// nothing and the update run again finishes it.
TEST(SeamWalkTest, UpdateFailedOrKilledAtEveryCall) {
  const std::vector<uint8_t> package = WriteTestPackage(UpdateEntries());
  FakeSystem clean;
  RunInstaller(Prepare(clean, package));
  ExpectFinished(clean);
  ASSERT_EQ(clean.Started().size(), 2u);

  int programOnlyAtBackup = 0;
  for (int call = 0; call < clean.callCount; ++call) {
    SCOPED_TRACE("call " + std::to_string(call) + ": " + clean.calls[call]);
    FakeSystem failing;
    Prepare(failing, package).failCallIndex = call;
    const int32_t state = RunInstaller(failing);
    EXPECT_TRUE(state == kFinished || state == kExit);
    ExpectNothingLost(failing, false);
    const bool success =
        !failing.StatusTexts().empty() && failing.StatusTexts().back() == kUpdateInstalledText;
    // Completion's own calls may fail after the text or before the level.
    const std::string& failed = clean.calls[call];
    const bool completion = failed.rfind("SetStatusText", 0) == 0 ||
                            failed.rfind("OpenRegistryKey", 0) == 0 ||
                            failed == "SetRegistryValue PatchLevel";
    if (!completion) {
      EXPECT_EQ(success, LevelRecorded(failing));
    }
    if (LevelRecorded(failing) || success) {
      EXPECT_EQ(failing.Started().size(), 2u);
      EXPECT_EQ(failing.MessageBoxes().size(), 1u);  // the question alone
    }

    FakeSystem killed;
    Prepare(killed, package).killAtCall = call;
    RunInstaller(killed);
    ExpectNothingLost(killed, true);
    programOnlyAtBackup += !killed.FileContent(std::string(kTargetFolder) + "atlas.exe");
    killed.killAtCall = -1;
    killed.killed = false;
    RunInstaller(killed);
    ExpectFinished(killed, 1);
  }
  // Among the kills are some that leave the program only under its backup
  // name, which discovery must still take for the installed program.
  EXPECT_GT(programOnlyAtBackup, 0);
}

// Fails every block of one size while it lives: the block of a section whose
// payload is a byte shorter, or a name index of that many bytes.
class BlocksOfSizeFail {
 public:
  explicit BlocksOfSizeFail(size_t size) {
    failing = size;
    UseBlockAllocator(
        [](size_t wanted) { return wanted == failing ? nullptr : std::malloc(wanted); });
  }
  ~BlocksOfSizeFail() { UseBlockAllocator(nullptr); }

 private:
  static inline size_t failing = 0;
};

// Tests each phase's answer when its section's block, or the name table's
// index, cannot be allocated: its work is left undone (without its name
// table the run ends before the question, with the refusal of an unreadable
// package; no command started), the run never reports success or records
// the level, loses nothing, and the update run again finishes the job.
TEST(SeamWalkTest, UpdateWithoutMemoryForEachBlock) {
  struct Answer {
    int32_t state;
    const char* fact;  // a key of the target's snapshot that shows the work undone
    const char* value;
    size_t programs;
    size_t boxes;
  };
  const std::map<std::string, Answer> answers = {
      {kRegistryKeysSection, {kFinished, "c:\\atlas\\readme.txt", "Atlas 1", 0, 0}},
      {kStartupMsgSection, {kExit, "c:\\atlas\\readme.txt", "Atlas 1", 0, 0}},
      {kNameTableSection, {kFinished, "c:\\atlas\\readme.txt", "Atlas 1", 0, 0}},
      {kFoldersSection, {kFinished, "c:\\atlas\\backups\\", "", 2, 1}},
      {kCommandsSection, {kFinished, "c:\\atlas\\readme.txt", "Atlas 2", 0, 2}},
      {kFilesToRemoveSection, {kFinished, "c:\\atlas\\old.map", "old", 2, 1}},
      {kRegistryTableSection, {kFinished, "hkcu\\software\\brindlex\\atlas @theme", "", 2, 1}},
  };
  const std::vector<PackageEntrySource> entries = UpdateEntries();
  const std::vector<uint8_t> package = WriteTestPackage(entries);
  std::vector<std::pair<std::string, size_t>> blocks = {{kNameTableSection, 4}};  // its index
  for (const PackageEntrySource& entry : entries) {
    if (entry.name[0] == ':') blocks.push_back({entry.name, entry.content.size() + 1});
  }
  std::set<size_t> sizes;
  for (const auto& [section, size] : blocks) {
    SCOPED_TRACE(section + ", " + std::to_string(size) + " bytes");
    ASSERT_TRUE(sizes.insert(size).second) << "each block needs a size of its own";
    const Answer& answer = answers.at(section);
    FakeSystem system;
    Prepare(system, package);
    {
      BlocksOfSizeFail fails(size);
      EXPECT_EQ(RunInstaller(system), answer.state);
    }
    EXPECT_EQ(system.Snapshot()[answer.fact], answer.value);
    EXPECT_EQ(system.Started().size(), answer.programs);
    EXPECT_EQ(system.MessageBoxes().size(), answer.boxes);
    EXPECT_TRUE(system.StatusTexts().empty() ||
                system.StatusTexts().back() != kUpdateInstalledText);
    if (section == kNameTableSection) {
      EXPECT_EQ(system.StatusTexts(), std::vector<std::string>{kUsageText});
      FakeSystem untouched;
      EXPECT_EQ(system.Snapshot(), Prepare(untouched, package).Snapshot());
    }
    ExpectNothingLost(system, false);
    RunInstaller(system);
    ExpectFinished(system);
  }
}

// Tests that builder mode leaves its output whole or not at all when any
// of its calls fails, never touches its inputs, and that a build killed at
// any call and made again gives the whole output.
TEST(SeamWalkTest, BuildFailedOrKilledAtEveryCall) {
  const std::string build = "C:\\Upd\\PATCH.EXE C:\\Upd\\in.brx C:\\Out\\NEW.EXE MAKEEXE";
  const std::string stub(100, 'S');
  const std::string package(50, 'P');
  const std::string output = stub + package + Raw("\x64\0\0\0BRDX");
  const auto prepare = [&](FakeSystem& system) -> FakeSystem& {
    system.AddFile("C:\\Upd\\PATCH.EXE", stub);
    system.AddFile("C:\\Upd\\in.brx", package);
    system.AddFolder("C:\\Out");
    return system;
  };
  FakeSystem clean;
  EXPECT_EQ(RunInstaller(prepare(clean), build), kExit);
  ASSERT_EQ(clean.FileContent("C:\\Out\\NEW.EXE"), output);
  for (int call = 0; call < clean.callCount; ++call) {
    SCOPED_TRACE("call " + std::to_string(call) + ": " + clean.calls[call]);
    FakeSystem failing;
    prepare(failing).failCallIndex = call;
    RunInstaller(failing, build);
    const std::optional<std::string> made = failing.FileContent("C:\\Out\\NEW.EXE");
    EXPECT_TRUE(!made || made == output) << made->size() << " bytes";
    EXPECT_EQ(failing.FileContent("C:\\Upd\\PATCH.EXE"), stub);
    EXPECT_EQ(failing.FileContent("C:\\Upd\\in.brx"), package);
    EXPECT_EQ(failing.OpenHandleCount(), 0u);

    FakeSystem killed;
    prepare(killed).killAtCall = call;
    RunInstaller(killed, build);
    killed.killAtCall = -1;
    killed.killed = false;
    RunInstaller(killed, build);
    EXPECT_EQ(killed.FileContent("C:\\Out\\NEW.EXE"), output);
  }
}

}  // namespace
}  // namespace brx::test
