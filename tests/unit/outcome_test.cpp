// The outcome table: each row is a package and the target it is applied to,
// run through the whole worker over FakeSystem. What comes out is compared
// whole: every file and registry value, the status texts in order, the
// message boxes, the programs started, the state the worker stored, the
// button, and nothing left open.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "package/section_names.h"
#include "package/section_readers.h"
#include "run/user_texts.h"
#include "support/package_samples.h"
#include "support/pe_samples.h"
#include "support/target_fixture.h"

namespace brx::test {
namespace {

// A change to a system: how a row's target differs from the standard one,
// and what a run makes of it.
using Edit = std::function<void(FakeSystem&)>;
using Texts = std::vector<std::vector<std::string>>;

// Paths name the target folder's files unless they name a drive or begin
// with a backslash.
std::string At(const std::string& path) {
  return path.find(':') != std::string::npos || path[0] == '\\' ? path : kTargetFolder + path;
}
Edit File(const std::string& path, const std::string& content) {
  return [=](FakeSystem& s) { s.AddFile(At(path), content); };
}
Edit Folder(const std::string& path) {
  return [=](FakeSystem& s) { s.AddFolder(At(path)); };
}
Edit Gone(const std::string& path) {
  return [=](FakeSystem& s) { s.Remove(At(path)); };
}
Edit Attributes(const std::string& path, bool readOnly, bool hidden) {
  return [=](FakeSystem& s) { s.SetAttributes(At(path), readOnly, hidden); };
}
Edit Value(RegistryRoot root, const std::string& key, const std::string& name, uint32_t type,
           const std::string& bytes) {
  return [=](FakeSystem& s) { s.PutRegistryValue(root, key, name, type, bytes); };
}
Edit Sz(RegistryRoot root, const std::string& key, const std::string& name,
        const std::string& text) {
  return Value(root, key, name, kRegSz, text + '\0');
}
Edit Dword(RegistryRoot root, const std::string& key, const std::string& name, uint32_t value) {
  return [=](FakeSystem& s) { s.PutRegistryDword(root, key, name, value); };
}
Edit Key(RegistryRoot root, const std::string& key) {
  return [=](FakeSystem& s) { s.AddRegistryKey(root, key); };
}
// A value of the target's key: ProgramPath, ProgramName or PatchLevel.
Edit TargetValue(const std::string& name, uint32_t type, const std::string& bytes) {
  return Value(kHklm, kTargetKey, name, type, bytes);
}
Edit NoTargetValue(const std::string& name) {
  return [=](FakeSystem& s) { s.RemoveRegistryValue(kHklm, kTargetKey, name); };
}
Edit Level(int32_t level) {
  return Dword(kHklm, kTargetKey, "PatchLevel", static_cast<uint32_t>(level));
}
Edit Answers(std::deque<int> answers) {
  return [=](FakeSystem& s) { s.answers = answers; };
}
Edit Fail(const std::string& call, int nth) {
  return [=](FakeSystem& s) { s.failNthCall[call] = nth; };
}
Edit OwnProgram(const std::string& path) {
  return [=](FakeSystem& s) { s.ownProgramPath = path; };
}
Edit ReportedSize(const std::string& path, uint32_t size) {
  return [=](FakeSystem& s) { s.reportedSizes[FakeSystem::NormalizePath(path)] = size; };
}

std::string Fill(const char* format, const std::string& argument) {
  std::string text = format;
  return text.replace(text.find("%s"), 2, argument);
}
std::vector<std::string> Installed(const std::string& name) {
  return {Fill(kUpdatingFileFormat, name), Fill(kFileUpdatedFormat, kTargetFolder + name)};
}
std::vector<std::string> Failed(const std::string& name) {
  return {Fill(kUpdatingFileFormat, name), Fill(kFileFailedFormat, At(name))};
}
const std::vector<std::string> kUsage = {kUsageText};
const std::vector<std::string> kNotFound = {kTargetNotFoundText};
const std::vector<std::string> kSuccess = {kUpdateInstalledText};
std::string Question(const std::string& caption, const std::string& text) {
  return caption + " | " + text + " | 65";
}
const std::string kWarning = std::string("! | ") + kLevelWarningText + " | 49";
const std::string kCommandsFailed = std::string("! | ") + kCommandsFailedText + " | 48";

PackageEntrySource Startup(const std::string& caption, const std::string& question) {
  return Section(kStartupMsgSection, EncodeStartupMessage(caption, question));
}
PackageEntrySource KeysOf(const RegistryKeysInput& keys) {
  return Section(kRegistryKeysSection, EncodeRegistryKeys(keys));
}
PackageEntrySource Commands(const std::vector<CommandInput>& commands) {
  return Section(kCommandsSection, EncodeCommands(commands));
}
// A package that would change the target everywhere if it got that far.
std::vector<PackageEntrySource> Changing(std::vector<PackageEntrySource> entries) {
  entries.push_back(FileEntry("readme.txt", "Atlas 2"));
  entries.push_back(Section(kFoldersSection, EncodeTextList({"Docs"})));
  entries.push_back(Section(kFilesToRemoveSection, EncodeTextList({"old.map"})));
  entries.push_back(Section(kRegistryTableSection, EncodeRegistryTable({{1, 1, "Software\\Brindlex",
                                                                         2, "Theme", "dark"}})));
  return entries;
}

struct Row {
  const char* what = {};
  std::vector<PackageEntrySource> entries = {};  // of the package file; none: there is no file
  std::vector<Edit> before = {};                 // the target as it differs from the standard
  std::vector<Edit> after = {};                  // what the run changes
  Texts texts = {};                              // status texts, in order
  std::vector<std::string> boxes = {};           // "caption | text | style"
  std::vector<std::string> starts = {};          // "program | command line", " (waited)"
  int32_t state = kFinished;
  std::string commandLine = kApplyPackageFile;
  std::function<void(std::vector<uint8_t>&)> damage = {};  // to the package's bytes
  bool digest = false;  // the package carries a digest, as brxpack writes it
};

void Prepare(FakeSystem& system, const Row& row, const std::vector<uint8_t>& package) {
  InstallTarget(system);
  if (!row.entries.empty()) system.AddFile(kPackageFile, Text(package));
  for (const Edit& edit : row.before) edit(system);
}

void ExpectRows(const std::vector<Row>& rows) {
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::vector<uint8_t> package = WriteTestPackage(row.entries, false, row.digest);
    if (row.damage) row.damage(package);
    FakeSystem system;
    FakeSystem expected;
    Prepare(system, row, package);
    Prepare(expected, row, package);
    for (const Edit& edit : row.after) edit(expected);

    EXPECT_EQ(RunInstaller(system, row.commandLine), row.state);
    EXPECT_EQ(system.Snapshot(), expected.Snapshot());
    std::vector<std::string> texts;
    for (const auto& part : row.texts) texts.insert(texts.end(), part.begin(), part.end());
    EXPECT_EQ(system.statusTexts, texts);
    EXPECT_EQ(system.messageBoxes, row.boxes);
    std::vector<std::string> starts;
    for (const FakeSystem::ProcessStart& start : system.started) {
      starts.push_back(start.application + " | " + start.commandLine +
                       (start.waited ? " (waited)" : ""));
      EXPECT_EQ(start.currentFolder, kTargetFolder);
    }
    EXPECT_EQ(starts, row.starts);
    EXPECT_TRUE(system.buttonShown);
    EXPECT_EQ(system.buttonText, kButtonTextOk);
    EXPECT_EQ(system.OpenHandleCount(), 0u);
  }
}

// Tests the runs that end before anything is changed: the usage text for
// what is no package, and the not-found text for each way discovery fails.
TEST(OutcomeTest, EndsBeforeTheTargetIsTouched) {
  const std::string longFolder = "C:\\" + std::string(300, 'd');
  const std::string longProgram(220, 'p');
  ExpectRows({
      {.what = "wrong builder call", .texts = {kUsage}, .commandLine = "PATCH.EXE a b makeexe"},
      {.what = "package file missing", .texts = {kUsage}},
      {.what = "own file without a package",
       .before = {File("C:\\Upd\\PATCH.EXE", "MZ stub")},
       .texts = {kUsage},
       .commandLine = "C:\\Upd\\PATCH.EXE"},
      {.what = "empty command line", .texts = {kUsage}, .commandLine = ""},
      {.what = "no :RegistryKeys", .entries = Changing({}), .texts = {kNotFound}},
      {.what = ":RegistryKeys without the level",
       .entries = {Section(kRegistryKeysSection,
                           Bytes(Raw("SOFTWARE\\Brindlex\\Atlas\0ProgramPath\0ProgramName\0"
                                     "PatchLevel\0\x02\0")))},
       .texts = {kNotFound}},
      {.what = "key not registered",
       .entries = Changing({KeysOf({"SOFTWARE\\Brindlex\\Gone"})}),
       .texts = {{Fill(kRegistryKeyErrorFormat, "SOFTWARE\\Brindlex\\Gone"),
                  Fill(kRegistryKeyErrorFormat, "SOFTWARE\\Brindlex\\Gone")},
                 kNotFound}},
      // With the folder unread, "\atlas.exe" would pass a presence test.
      {.what = "folder value missing",
       .entries = {Keys()},
       .before = {NoTargetValue("ProgramPath"), File("\\atlas.exe", "MZ")},
       .texts = {{Fill(kRegistryReadErrorFormat, "ProgramPath")}, kNotFound}},
      {.what = "folder value of 513 bytes",
       .entries = {Keys()},
       .before = {TargetValue("ProgramPath", kRegSz, std::string(512, 'f') + '\0')},
       .texts = {{Fill(kRegistryReadErrorFormat, "ProgramPath")}, kNotFound}},
      {.what = "program value missing",
       .entries = {Keys()},
       .before = {NoTargetValue("ProgramName")},
       .texts = {{Fill(kRegistryReadErrorFormat, "ProgramName")}, kNotFound}},
      {.what = "program value of 600 bytes",
       .entries = {Keys()},
       .before = {TargetValue("ProgramName", kRegSz, std::string(600, 'p'))},
       .texts = {{Fill(kRegistryReadErrorFormat, "ProgramName")}, kNotFound}},
      {.what = "program file missing",
       .entries = {Keys()},
       .before = {Gone("atlas.exe")},
       .texts = {kNotFound}},
      {.what = "folder and program too long to join",
       .entries = {Keys()},
       .before = {TargetValue("ProgramPath", kRegSz, longFolder + '\0'),
                  TargetValue("ProgramName", kRegSz, longProgram + '\0'),
                  File(longFolder + "\\" + longProgram, "MZ")},
       .texts = {kNotFound}},
      {.what = "folder of 512 bytes without terminator",
       .entries = {Keys()},
       .before = {TargetValue("ProgramPath", kRegSz, std::string(512, 'u'))},
       .texts = {kNotFound}},
      // The level is written under this name at the end: one too long for
      // its buffer cannot name the target.
      {.what = "level value name of 513 characters",
       .entries = {KeysOf({kTargetKey, "ProgramPath", "ProgramName", std::string(513, 'n'), 2})},
       .texts = {kNotFound}},
  });
}

// Tests how the target folder is completed and the program found.
TEST(OutcomeTest, FindsTheTarget) {
  const std::vector<PackageEntrySource> aFile = {Keys(), FileEntry("a.txt", "new")};
  ExpectRows({
      {.what = "program name naming a folder",
       .entries = {Keys()},
       .before = {TargetValue("ProgramName", kRegSz, Raw("Maps\0"))},
       .after = {Level(2)},
       .texts = {kSuccess}},
      {.what = "folder value ending in a backslash",
       .entries = aFile,
       .before = {TargetValue("ProgramPath", kRegSz, Raw("C:\\Atlas\\\0"))},
       .after = {File("a.txt", "new"), Level(2)},
       .texts = {Installed("a.txt"), kSuccess}},
      {.what = "folder value without terminator",
       .entries = aFile,
       .before = {TargetValue("ProgramPath", kRegSz, "C:\\Atlas")},
       .after = {File("a.txt", "new"), Level(2)},
       .texts = {Installed("a.txt"), kSuccess}},
      // A killed update may leave the program under its backup name: only a
      // package that writes the program can take that for the program.
      {.what = "program at its backup name, written by the package under a translated name",
       .entries = {Keys(),
                   Section(kNameTableSection, EncodeNameTable({{"new.exe", "\\Atlas.EXE"}})),
                   FileEntry("new.exe", "MZ 2")},
       .before = {Gone("atlas.exe"), File("atlas.exe.bak", "MZ 1")},
       .after = {File("atlas.exe", "MZ 2"), Level(2)},
       .texts = {Installed("\\Atlas.EXE"), kSuccess}},
      {.what = "program at its backup name, not written by the package",
       .entries = {Keys(), FileEntry("a.txt", "new")},
       .before = {Gone("atlas.exe"), File("atlas.exe.bak", "MZ 1")},
       .texts = {kNotFound}},
      {.what = "empty folder value: the folder is a backslash",
       .entries = aFile,
       .before = {TargetValue("ProgramPath", kRegSz, Raw("\0")), File("\\atlas.exe", "MZ")},
       .texts = {{Fill(kUpdatingFileFormat, "a.txt"), Fill(kFileFailedFormat, "\\a.txt")}}},
  });
}

// Tests the question, the level warning and the signed level comparison,
// each kind of level value, the refusals (which change nothing and close the
// window at once) and the recorded level.
TEST(OutcomeTest, ConfirmsAndRecordsTheLevel) {
  const std::string question = "Install the update?\r\nClose Atlas first.";
  const std::string askAtlas = Question("Atlas", question);
  const std::string level512 = std::string("\x05\0\0\0", 4) + std::string(508, '\0');
  ExpectRows({
      {.what = ":RegistryKeys alone, the other root's value untouched",
       .entries = {Keys()},
       .before = {Sz(kHkcu, kTargetKey, "PatchLevel", "cu")},
       .after = {Level(2)},
       .texts = {kSuccess}},
      {.what = "own file: the package behind a program image",
       .entries = {Keys()},
       .after = {Level(2)},
       .texts = {kSuccess},
       .commandLine = kPackageFile,
       .damage = [](auto& p) { p = SelfApplying(Bytes("MZ stub"), p); }},
      // Typed without its extension, the program's own name opens no file;
      // the module's file name does. Only that failure falls back.
      {.what = "own file named without its extension",
       .entries = {Keys()},
       .before = {OwnProgram(kPackageFile)},
       .after = {Level(2)},
       .texts = {kSuccess},
       .commandLine = "update",
       .damage = [](auto& p) { p = SelfApplying(Bytes("MZ stub"), p); }},
      {.what = "own file that opens but carries no package",
       .entries = {Keys()},
       .before = {OwnProgram(kPackageFile), File("C:\\Upd\\PATCH.EXE", "MZ stub")},
       .texts = {kUsage},
       .commandLine = "C:\\Upd\\PATCH.EXE",
       .damage = [](auto& p) { p = SelfApplying(Bytes("MZ stub"), p); }},
      {.what = "a package file that opens no file",
       .entries = {Keys()},
       .before = {OwnProgram(kPackageFile)},
       .texts = {kUsage},
       .commandLine = "PATCH.EXE missing.brx",
       .damage = [](auto& p) { p = SelfApplying(Bytes("MZ stub"), p); }},
      {.what = "level installed already",
       .entries = {Keys(2)},
       .before = {Level(2)},
       .texts = {kSuccess},
       .boxes = {kWarning}},
      {.what = "later level installed",
       .entries = {Keys(2)},
       .before = {Level(3)},
       .after = {Level(2)},
       .texts = {kSuccess},
       .boxes = {kWarning}},
      {.what = "no level value, package level 0",
       .entries = {Keys(0)},
       .before = {NoTargetValue("PatchLevel")},
       .after = {Level(0)},
       .texts = {kSuccess},
       .boxes = {kWarning}},
      {.what = "-1 installed, 2 in the package: levels are signed",
       .entries = {Keys(2)},
       .before = {Level(-1)},
       .after = {Level(2)},
       .texts = {kSuccess}},
      {.what = "a text level is not read",
       .entries = {Keys(1)},
       .before = {TargetValue("PatchLevel", kRegSz, Raw("3\0"))},
       .after = {Level(1)},
       .texts = {kSuccess}},
      {.what = "a level of two bytes is not read",
       .entries = {Keys(1)},
       .before = {TargetValue("PatchLevel", kRegDword, Raw("\x03\0"))},
       .after = {Level(1)},
       .texts = {kSuccess}},
      {.what = "a level of 600 bytes is not read",
       .entries = {Keys(1)},
       .before = {TargetValue("PatchLevel", kRegDword, std::string(600, '\x05'))},
       .after = {Level(1)},
       .texts = {kSuccess}},
      {.what = "a level of 512 bytes is read",
       .entries = {Keys(1)},
       .before = {TargetValue("PatchLevel", kRegDword, level512)},
       .after = {Level(1)},
       .texts = {kSuccess},
       .boxes = {kWarning}},
      {.what = "the question",
       .entries = {Keys(), Startup("Atlas", question)},
       .after = {Level(2)},
       .texts = {kSuccess},
       .boxes = {askAtlas}},
      {.what = "the question, then the warning",
       .entries = {Keys(), Startup("Atlas", question)},
       .before = {Level(2)},
       .texts = {kSuccess},
       .boxes = {askAtlas, kWarning}},
      {.what = "refused at the question",
       .entries = Changing({Keys(), Startup("Atlas", question)}),
       .before = {Answers({0})},
       .boxes = {askAtlas},
       .state = kExit},
      {.what = "refused at the warning",
       .entries = Changing({Keys(), Startup("Atlas", question)}),
       .before = {Level(2), Answers({kIdOk, kIdCancel})},
       .boxes = {askAtlas, kWarning},
       .state = kExit},
      // Discovery opens the key for each of its three values; completion
      // opens it a fourth time.
      {.what = "the target's key cannot be opened for the level",
       .entries = {Keys()},
       .before = {Fail("OpenRegistryKey", 3)},
       .texts = {kSuccess}},
  });
}

// Tests the file phase: where each entry lands, what stays when one fails,
// and that a failure neither stops the files after it nor lets the level be
// recorded.
TEST(OutcomeTest, InstallsFiles) {
  const std::string longest(502, 'y');        // the longest folder that fits a path
  const std::string tooLong(503, 'x');        // its path needs 512 characters
  const std::string backupTooLong(499, 'b');  // the file's path fits, its backup's does not
  const std::string fits(498, 'f');
  ExpectRows({
      // A hidden file with a backup left by a killed run: the backup waits
      // under the next free name, and the older one is left as it was.
      {.what = "new, replaced, stored, nested, empty, read-only and hidden files; the later wins",
       .entries = {Keys(), FileEntry("a.txt", "first"),
                   FileEntry("b.txt", "stored", EntryStorage::kStored),
                   FileEntry("c\\d\\e.txt", "nested"), FileEntry("\\d\\x.txt", "lead"),
                   FileEntry("empty.cfg", ""), FileEntry("old.cfg", "", EntryStorage::kStored),
                   FileEntry("ro.txt", "new"), FileEntry("h.txt", "new"),
                   FileEntry("A.TXT", "second"), Section(":Unknown", Bytes("not a file"))},
       .before = {File("a.txt", "old"), File("old.cfg", "old"), File("ro.txt", "old"),
                  Attributes("ro.txt", true, false), File("h.txt", "half"),
                  Attributes("h.txt", false, true), File("h.txt.bak", "old")},
       .after = {File("a.txt", "second"), File("b.txt", "stored"), File("c\\d\\e.txt", "nested"),
                 File("d\\x.txt", "lead"), File("empty.cfg", ""), File("old.cfg", ""),
                 File("ro.txt", "new"), File("ro.txt.bak", "old"),
                 Attributes("ro.txt.bak", true, false), File("h.txt", "new"), Level(2)},
       .texts = {Installed("a.txt"), Installed("b.txt"), Installed("c\\d\\e.txt"),
                 Installed("\\d\\x.txt"), Installed("empty.cfg"), Installed("old.cfg"),
                 Installed("ro.txt"), Installed("h.txt"), Installed("A.TXT"), kSuccess}},
      {.what = "names from the table; listed folders made in list order",
       .entries = {Keys(),
                   Section(kNameTableSection,
                           EncodeNameTable({{"docs\\readme.txt", "help\\r.txt"}})),
                   FileEntry("Docs\\Readme.txt", "new"),
                   Section(kFoldersSection,
                           EncodeTextList({"data", "data\\maps", "x\\y", "x", tooLong, longest}))},
       .after = {File("help\\r.txt", "new"), Folder("data\\maps"), Folder("x"), Folder(longest),
                 Level(2)},
       .texts = {Installed("help\\r.txt"), kSuccess}},
      {.what = "the name table's last pair cut by its end: a file it may name fails untouched",
       .entries = {Keys(),
                   Section(kNameTableSection, Bytes(Raw("b.txt\0c.txt\0readme.txt\0help\\r"))),
                   FileEntry("readme.txt", "new"), FileEntry("B.txt", "b")},
       .after = {File("c.txt", "b")},
       .texts = {Failed("readme.txt"), Installed("c.txt")}},
      {.what = "failed files keep what stood there; the files after them follow",
       .entries = {Keys(),
                   Section(kNameTableSection,
                           EncodeNameTable(
                               {{"n1", tooLong}, {"n2", backupTooLong}, {"n3", fits}, {"n4", ""}})),
                   FileEntry("a\\b.txt", "new"), FileEntry("e.txt", "damaged"),
                   FileEntry("f.txt", "damaged"), FileEntry("docs", "a file named docs"),
                   FileEntry("n1", "x"), FileEntry("n2", "x"), FileEntry("n3", "fits"),
                   FileEntry("n4", "x"), FileEntry("z.txt", "last"),
                   Commands({{kCommandWait, kTool, "ok"}})},
       .before = {File("a", "a file"), File("e.txt", "partial"), File("e.txt.bak", "original"),
                  File("docs\\inner.txt", "user data"), File(backupTooLong, "old")},
       .after = {File(fits, "fits"), File("z.txt", "last")},
       .texts = {Failed("a\\b.txt"), Failed("e.txt"), Failed("f.txt"), Failed("docs"),
                 Failed(tooLong), Failed(backupTooLong), Installed(fits), Failed(""),
                 Installed("z.txt")},
       .starts = {"C:\\Tools\\tool.exe | DUMMY ok (waited)"},
       // One byte more than their streams give.
       .damage =
           [](auto& p) {
             for (uint32_t entry : {3u, 4u}) PutLe32(p, RecordAt(p, entry) + kEntrySizeAt, 8);
           }},
  });
}

// Tests that a package carrying a digest is refused whole, before the
// question and with the usage text, when one byte of an entry's stored bytes
// or of a directory record differs (even a flag bit readers ignore), and
// installs as any other when it is intact; without a digest the same damage
// fails that file alone.
TEST(OutcomeTest, RefusesADamagedDownloadWhole) {
  const std::vector<PackageEntrySource> entries =
      Changing({Keys(), Startup("Atlas", "Install?"), FileEntry("a.txt", "new a")});
  const auto flipInFile = [](std::vector<uint8_t>& p) {
    p[GetLe32(p, RecordAt(p, 2) + kEntryOffsetAt) + 2] ^= 0x01;
  };
  ExpectRows({
      {.what = "intact",
       .entries = entries,
       .after = {File("a.txt", "new a"), File("readme.txt", "Atlas 2"), Folder("Docs"),
                 Gone("old.map"), Sz(kHkcu, "Software\\Brindlex", "Theme", "dark"), Level(2)},
       .texts = {Installed("a.txt"), Installed("readme.txt"), kSuccess},
       .boxes = {Question("Atlas", "Install?")},
       .digest = true},
      {.what = "a byte of a file's stream",
       .entries = entries,
       .texts = {kUsage},
       .damage = flipInFile,
       .digest = true},
      {.what = "a flag bit of a record",
       .entries = entries,
       .texts = {kUsage},
       .damage = [](auto& p) { p[RecordAt(p, 3) + 42] ^= 0x10; },
       .digest = true},
      {.what = "the digest's own bytes",
       .entries = entries,
       .texts = {kUsage},
       .damage = [](auto& p) { p[GetLe32(p, kDirectoryOffsetAt) - 1] ^= 0x80; },
       .digest = true},
      {.what = "a byte of a file's stream, no digest",
       .entries = entries,
       .after = {File("readme.txt", "Atlas 2"), Folder("Docs"), Gone("old.map"),
                 Sz(kHkcu, "Software\\Brindlex", "Theme", "dark")},
       .texts = {Failed("a.txt"), Installed("readme.txt")},
       .boxes = {Question("Atlas", "Install?")},
       .damage = flipInFile},
  });
}

// Tests that no file this run did not create is deleted or overwritten: a
// backup name that is taken (the user's own file) is passed over for the
// next free one, kept whether the file is written or fails, and a file that
// cannot be moved aside fails untouched.
TEST(OutcomeTest, KeepsWhatTheRunDidNotCreate) {
  ExpectRows({
      {.what = "written beside the user's own backups",
       .entries = {Keys(), FileEntry("readme.txt", "Atlas 2"), FileEntry("a.txt", "new a"),
                   FileEntry("n.txt", "new n")},
       .before = {File("readme.txt.bak", "the user's"), File("a.txt", "old a"),
                  File("a.txt.bak", "user 1"), File("a.txt.bak.1", "user 2"),
                  File("n.txt.bak", "the user's n")},
       .after = {File("readme.txt", "Atlas 2"), File("a.txt", "new a"), File("n.txt", "new n"),
                 Level(2)},
       .texts = {Installed("readme.txt"), Installed("a.txt"), Installed("n.txt"), kSuccess}},
      {.what = "failed beside the user's own backup",
       .entries = {Keys(), FileEntry("readme.txt", "damaged"), FileEntry("n.txt", "damaged")},
       .before = {File("readme.txt.bak", "the user's"), File("n.txt.bak", "the user's n")},
       .texts = {Failed("readme.txt"), Failed("n.txt")},
       .damage =
           [](auto& p) {
             for (uint32_t entry : {1u, 2u}) PutLe32(p, RecordAt(p, entry) + kEntrySizeAt, 8);
           }},
      {.what = "every backup name taken",
       .entries = {Keys(), FileEntry("readme.txt", "Atlas 2")},
       .before = {[](FakeSystem& s) {
         s.AddFile(At("readme.txt.bak"), "0");
         for (int n = 1; n <= 99; ++n) s.AddFile(At("readme.txt.bak." + std::to_string(n)), "n");
       }},
       .texts = {Failed("readme.txt")}},
      {.what = "a file that cannot be moved aside",
       .entries = {Keys(), FileEntry("readme.txt", "Atlas 2")},
       .before = {Fail("MovePath", 0)},
       .texts = {Failed("readme.txt")}},
      {.what = "something at the path after the check: never overwritten",
       .entries = {Keys(), FileEntry("new.txt", "new")},
       .before = {File("new.txt", "appeared"), Fail("PathExists", 1)},
       .texts = {Failed("new.txt")}},
  });
}

// Tests the command list: flags, the command line, the error file, and the
// first failure ending the list with one box while the phases after it run.
TEST(OutcomeTest, RunsCommands) {
  const std::string tool = kTool;
  const std::string program1023 = "C:\\" + std::string(1020, 'p');
  const std::string arguments1017(1017, 'a');  // "DUMMY " and these fill 1,023 bytes
  ExpectRows({
      {.what = "commands in order, with their flags",
       .entries = {Keys(), Commands({{0, kTool, "-x y"},
                                     {kCommandWait | kCommandRelative, kRelativeTool, ""},
                                     {0xFC, kTool, arguments1017}})},
       .after = {Level(2)},
       .texts = {kSuccess},
       .starts = {tool + " | DUMMY -x y", "C:\\Atlas\\tools\\conv.exe | DUMMY  (waited)",
                  tool + " | DUMMY " + arguments1017}},
      {.what = "the error file ends the list; removal and registry still run",
       .entries = Changing(
           {Keys(), Commands({{kCommandWait, kTool, "fail"}, {kCommandWait, kRelativeTool, ""}})}),
       .after = {File("readme.txt", "Atlas 2"), Folder("Docs"), Gone("old.map"),
                 Sz(kHkcu, "Software\\Brindlex", "Theme", "dark")},
       .texts = {Installed("readme.txt")},
       .boxes = {kCommandsFailed},
       .starts = {tool + " | DUMMY fail (waited)"}},
      {.what = "an error file standing before fails the first command",
       .entries = {Keys(), Commands({{0, kTool, "1"}, {0, kTool, "2"}})},
       .before = {File(kErrorFile, "left over")},
       .after = {Gone(kErrorFile)},
       .boxes = {kCommandsFailed},
       .starts = {tool + " | DUMMY 1"}},
      {.what = "a program that cannot start",
       .entries = {Keys(),
                   Commands(
                       {{0, kTool, "1"}, {0, "C:\\Tools\\missing.exe", "2"}, {0, kTool, "3"}})},
       .boxes = {kCommandsFailed},
       .starts = {tool + " | DUMMY 1"}},
      {.what = "a relative name without its flag is handed over as stored",
       .entries = {Keys(), Commands({{kCommandWait, kRelativeTool, ""}})},
       .boxes = {kCommandsFailed}},
      {.what = "a program path of 1,024 bytes",
       .entries = {Keys(),
                   Commands({{0, program1023, ""}, {0, program1023 + "q", ""}, {0, kTool, ""}})},
       .before = {File(program1023, "MZ")},
       .boxes = {kCommandsFailed},
       .starts = {program1023 + " | DUMMY "}},
      {.what = "a command line of 1,024 bytes",
       .entries = {Keys(), Commands({{0, kTool, arguments1017 + "a"}})},
       .boxes = {kCommandsFailed}},
      {.what = "a relative program too long for the folder",
       .entries = {Keys(), Commands({{kCommandRelative, std::string(1015, 'r'), ""}})},
       .boxes = {kCommandsFailed}},
  });
}

// Tests removal in list order and every kind of record of the registry table.
TEST(OutcomeTest, RemovesFilesAndWritesTheRegistryTable) {
  ExpectRows({
      {.what = "removals in list order",
       .entries = {Keys(),
                   Section(kFilesToRemoveSection,
                           EncodeTextList({"missing.txt", std::string(503, 'x'), "old\\a.txt",
                                           "old\\b.txt", "old\\", "keep", "keep\\c.txt"}))},
       .before = {File("old\\a.txt", "a"), File("old\\b.txt", "b"), File("keep\\c.txt", "c")},
       .after = {Gone("old"), Gone("keep\\c.txt"), Level(2)},
       .texts = {kSuccess}},
      {.what = "roots, operations and types of the registry table",
       .entries = {Keys(), Section(kRegistryTableSection,
                                   EncodeRegistryTable({{1, 0, "Software\\R0", 2, "v", "0"},
                                                        {1, 1, "Software\\R1", 2, "v", "1"},
                                                        {1, 2, "Software\\R2", 2, "v", "2"},
                                                        {1, 7, "Software\\R7", 2, "v", "7"},
                                                        {2, 1, "Software\\Skip", 2, "v", "x"},
                                                        {1, 2, "Software\\Refused", 2, "v", "x"},
                                                        {1, 1, "Software\\Key\\Only", 0, "v", "x"},
                                                        {1, 1, "Software\\T9", 9, "v", "x"},
                                                        {1, 1, "Software\\E", 2, "e", ""},
                                                        {1, 2, "Software\\N", 1, "", "-5"},
                                                        {1, 1, "Software\\N", 1, "n", "16 "},
                                                        {0, 1, "Software\\Never", 2, "v", "x"},
                                                        {1, 1, "Software\\After", 2, "v", "x"}}))},
       .before = {Fail("CreateRegistryKey", 4)},
       .after = {Sz(kHklm, "Software\\R0", "v", "0"), Sz(kHkcu, "Software\\R1", "v", "1"),
                 Sz(kHklm, "Software\\R2", "v", "2"), Sz(kHklm, "Software\\R7", "v", "7"),
                 Key(kHkcu, "Software\\Key\\Only"), Key(kHkcu, "Software\\T9"),
                 Sz(kHkcu, "Software\\E", "e", ""), Dword(kHklm, "Software\\N", "", 0xFFFFFFFB),
                 Dword(kHkcu, "Software\\N", "n", 16), Level(2)},
       .texts = {kSuccess}},
  });
}

// Tests builder mode, which closes the window at once whatever happens: a
// failed create never deletes what it met (here the stub itself), and
// inputs too large for the trailer's numbers fail before any output is
// made. The seam walk fails and kills each call of a build.
TEST(OutcomeTest, BuildsSelfApplyingExecutables) {
  const std::string build = "C:\\Upd\\PATCH.EXE C:\\Upd\\in.brx C:\\Out\\NEW.EXE MAKEEXE";
  const std::vector<Edit> inputs = {File("C:\\Upd\\PATCH.EXE", std::string(100, 'S')),
                                    File("C:\\Upd\\in.brx", std::string(50, 'P')),
                                    File("C:\\Out\\NEW.EXE", "an older build")};
  const auto with = [&](std::vector<Edit> edits) {
    edits.insert(edits.begin(), inputs.begin(), inputs.end());
    return edits;
  };
  ExpectRows({
      {.what = "an output named like the stub",
       .before = inputs,
       .state = kExit,
       .commandLine = "C:\\Upd\\PATCH.EXE C:\\Upd\\in.brx C:\\Upd\\PATCH.EXE MAKEEXE"},
      {.what = "inputs too large for the trailer",
       .before = with(
           {ReportedSize("C:\\Upd\\PATCH.EXE", 0xFFFFFFF0u), ReportedSize("C:\\Upd\\in.brx", 8)}),
       .state = kExit,
       .commandLine = build},
      // The largest output that fits is made, and deleted once its mapping fails.
      {.what = "inputs that just fit the trailer",
       .before = with({ReportedSize("C:\\Upd\\PATCH.EXE", 0xFFFFFFF0u),
                       ReportedSize("C:\\Upd\\in.brx", 7), Fail("CreateMapping", 2)}),
       .after = {Gone("C:\\Out\\NEW.EXE")},
       .state = kExit,
       .commandLine = build},
  });
}

}  // namespace
}  // namespace brx::test
