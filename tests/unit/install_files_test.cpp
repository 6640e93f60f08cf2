#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "authoring/section_encoders.h"
#include "package/section_names.h"
#include "run/user_texts.h"
#include "steps/phases.h"
#include "support/steps_fixture.h"

namespace brx {
namespace {

const std::string kFolder = kStepsFolder;

std::string Fill(const char* format, const std::string& argument) {
  std::string text = format;
  return text.replace(text.find("%s"), 2, argument);
}
std::string Updating(const std::string& name) {
  return Fill(kUpdatingFileFormat, name);
}
std::string Updated(const std::string& path) {
  return Fill(kFileUpdatedFormat, path);
}
std::string Failed(const std::string& path) {
  return Fill(kFileFailedFormat, path);
}

PackageEntrySource Translation(const std::string& source, const std::string& installed) {
  return SectionEntry(kNameTableSection, EncodeNameTable({{source, installed}}));
}

// Breaks the Adler-32 at the end of entry `index`'s zlib stream.
void DamageEntry(StepsRun& steps, uint32_t index) {
  steps.bytes()[steps.StoredAt(index) + steps.run.package.directory[index].compressedSize - 1] ^=
      0xFF;
}

struct FileCase {
  const char* what;
  std::vector<PackageEntrySource> entries;
  std::map<std::string, std::string> before;  // relative path -> content
  std::function<void(StepsRun&)> setUp;
  std::map<std::string, std::optional<std::string>> after;  // nullopt: nothing stands there
  std::vector<std::string> statuses;
  uint32_t updateFailed;
};

// Tests each file scenario: what stands afterwards, the status texts in
// order, the failure flag, no backup left behind and no handle left open.
TEST(InstallFilesTest, FileScenarios) {
  const std::string name505(505, 'n');  // the destination needs 512 characters
  const std::string name502(502, 'n');  // the destination fits, its backup does not
  const std::string name500(500, 'n');  // both fit
  const FileCase cases[] = {
      {"new file",
       {FileEntry("a.txt", "new")},
       {},
       nullptr,
       {{"a.txt", "new"}},
       {Updating("a.txt"), Updated(kFolder + "a.txt")},
       0},
      {"replaced file",
       {FileEntry("a.txt", "new")},
       {{"a.txt", "old"}},
       nullptr,
       {{"a.txt", "new"}},
       {Updating("a.txt"), Updated(kFolder + "a.txt")},
       0},
      {"stored entry",
       {FileEntry("a.txt", "new", EntryStorage::kStored)},
       {{"a.txt", "old"}},
       nullptr,
       {{"a.txt", "new"}},
       {Updating("a.txt"), Updated(kFolder + "a.txt")},
       0},
      {"nested folders",
       {FileEntry("a\\b\\c.txt", "new")},
       {},
       nullptr,
       {{"a\\b\\c.txt", "new"}},
       {Updating("a\\b\\c.txt"), Updated(kFolder + "a\\b\\c.txt")},
       0},
      {"leading backslash",
       {FileEntry("\\x.txt", "new")},
       {},
       nullptr,
       {{"x.txt", "new"}},
       {Updating("\\x.txt"), Updated(kFolder + "\\x.txt")},
       0},
      {"renamed by the table",
       {Translation("docs\\readme.txt", "help\\r.txt"), FileEntry("Docs\\Readme.txt", "new")},
       {},
       nullptr,
       {{"help\\r.txt", "new"}, {"docs\\readme.txt", std::nullopt}},
       {Updating("help\\r.txt"), Updated(kFolder + "help\\r.txt")},
       0},
      {"destination cannot be created; the next file still installed",
       {FileEntry("a\\b.txt", "new"), FileEntry("c.txt", "c")},
       {{"a", "a file"}},
       nullptr,
       {{"a", "a file"}, {"a\\b.txt", std::nullopt}, {"c.txt", "c"}},
       {Updating("a\\b.txt"), Failed(kFolder + "a\\b.txt"), Updating("c.txt"),
        Updated(kFolder + "c.txt")},
       1},
      {"two entries of one path: the later wins",
       {FileEntry("a.txt", "first"), FileEntry("A.TXT", "second")},
       {{"a.txt", "old"}},
       nullptr,
       {{"a.txt", "second"}},
       {Updating("a.txt"), Updated(kFolder + "a.txt"), Updating("A.TXT"),
        Updated(kFolder + "A.TXT")},
       0},
      {"damaged entry replacing a file",
       {FileEntry("a.txt", "new content")},
       {{"a.txt", "old"}},
       [](StepsRun& s) { DamageEntry(s, 0); },
       {{"a.txt", "old"}},
       {Updating("a.txt"), Failed(kFolder + "a.txt")},
       1},
      {"damaged new file",
       {FileEntry("a.txt", "new content")},
       {},
       [](StepsRun& s) { DamageEntry(s, 0); },
       {{"a.txt", std::nullopt}},
       {Updating("a.txt"), Failed(kFolder + "a.txt")},
       1},
      {"size 0 new",
       {FileEntry("e.txt", "")},
       {},
       nullptr,
       {{"e.txt", ""}},
       {Updating("e.txt"), Updated(kFolder + "e.txt")},
       0},
      {"size 0 stored, replacing",
       {FileEntry("e.txt", "", EntryStorage::kStored)},
       {{"e.txt", "old"}},
       nullptr,
       {{"e.txt", ""}},
       {Updating("e.txt"), Updated(kFolder + "e.txt")},
       0},
      {"destination of 512 characters",
       {Translation("x.txt", name505), FileEntry("x.txt", "new")},
       {},
       nullptr,
       {{name505, std::nullopt}},
       {Updating(name505), Failed(kFolder + name505)},
       1},
      {"backup of 513 characters",
       {Translation("x.txt", name502), FileEntry("x.txt", "new")},
       {{name502, "old"}},
       nullptr,
       {{name502, "old"}},
       {Updating(name502), Failed(kFolder + name502)},
       1},
      {"longest paths that fit",
       {Translation("x.txt", name500), FileEntry("x.txt", "new")},
       {{name500, "old"}},
       nullptr,
       {{name500, "new"}},
       {Updating(name500), Updated(kFolder + name500)},
       0},
      {"source name without installed name",
       {Translation("x.txt", ""), FileEntry("x.txt", "new")},
       {},
       nullptr,
       {},
       {Updating(""), Failed(kFolder)},
       1},
      {"file held open",
       {FileEntry("a.txt", "new")},
       {{"a.txt", "old"}},
       [](StepsRun& s) { s.system.OpenFileForReading((kFolder + "a.txt").c_str()); },
       {{"a.txt", "old"}},
       {Updating("a.txt"), Failed(kFolder + "a.txt")},
       1},
      {"mapping refused",
       {FileEntry("a.txt", "new")},
       {{"a.txt", "old"}},
       [](StepsRun& s) { s.system.failNthCall["CreateMapping"] = 0; },
       {{"a.txt", "old"}},
       {Updating("a.txt"), Failed(kFolder + "a.txt")},
       1},
      {"view refused",
       {FileEntry("a.txt", "new")},
       {{"a.txt", "old"}},
       [](StepsRun& s) { s.system.failNthCall["MapView"] = 0; },
       {{"a.txt", "old"}},
       {Updating("a.txt"), Failed(kFolder + "a.txt")},
       1},
      // A page of the view that the disk cannot back (a full disk under
      // Wine's sparse mapping): the half-written file goes, the old is back.
      {"view write faults",
       {FileEntry("a.txt", "new contents"), FileEntry("b.txt", "b")},
       {{"a.txt", "old"}},
       [](StepsRun& s) { s.system.failNthCall["FillView"] = 0; },
       {{"a.txt", "old"}, {"b.txt", "b"}},
       {Updating("a.txt"), Failed(kFolder + "a.txt"), Updating("b.txt"),
        Updated(kFolder + "b.txt")},
       1},
      {"view of a new file faults",
       {FileEntry("a.txt", "new contents")},
       {},
       [](StepsRun& s) { s.system.failNthCall["FillView"] = 0; },
       {{"a.txt", std::nullopt}},
       {Updating("a.txt"), Failed(kFolder + "a.txt")},
       1},
      // Moved aside whole, a folder and the user's files in it would never
      // come back: the file fails and nothing is touched.
      {"folder at the destination",
       {FileEntry("docs", "a file named docs"), FileEntry("b.txt", "b")},
       {{"docs\\inner.txt", "user data"}},
       nullptr,
       {{"docs", std::nullopt}, {"docs\\inner.txt", "user data"}, {"b.txt", "b"}},
       {Updating("docs"), Failed(kFolder + "docs"), Updating("b.txt"), Updated(kFolder + "b.txt")},
       1},
      {"section-named entries are not files",
       {SectionEntry(":Unknown", Payload("u")),
        SectionEntry(kFoldersSection, Payload(std::string(1, '\0')))},
       {},
       nullptr,
       {{":Unknown", std::nullopt}},
       {},
       0},
  };
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.what);
    StepsRun steps(c.entries);
    for (const auto& [path, content] : c.before) steps.system.AddFile(kFolder + path, content);
    if (c.setUp) c.setUp(steps);
    const size_t handlesBefore = steps.system.OpenHandleCount();
    steps.Prepare();
    InstallFiles(steps.system, steps.run);

    for (const auto& [path, content] : c.after) {
      EXPECT_EQ(steps.system.FileContent(kFolder + path), content) << path.substr(0, 40);
    }
    EXPECT_EQ(steps.system.statusTexts, c.statuses);
    EXPECT_EQ(steps.run.updateFailed, c.updateFailed);
    EXPECT_EQ(steps.system.OpenHandleCount(), handlesBefore);
    for (const auto& [path, content] : steps.system.Snapshot()) {
      EXPECT_EQ(path.find(".bak"), std::string::npos) << path.substr(0, 40);
    }
  }
}

// Tests the order of the seam calls for a replaced file in a nested folder:
// the test for a folder at the destination, folders, move to the backup,
// delete, create, map, write, unmap and close, then the backup deleted.
TEST(InstallFilesTest, ReplacesInProtectingOrder) {
  StepsRun steps({FileEntry("a\\b\\c.txt", "new")});
  steps.system.AddFile(kFolder + "a\\b\\c.txt", "old");
  steps.Prepare();
  const size_t before = steps.system.calls.size();
  InstallFiles(steps.system, steps.run);
  const std::string path = kFolder + "a\\b\\c.txt";
  const std::vector<std::string> expected = {
      "SetStatusText " + Updating("a\\b\\c.txt"),
      "IsFolder " + path,
      "CreateFolder " + kFolder + "a",
      "CreateFolder " + kFolder + "a\\b",
      "MovePath " + path + " | " + path + ".bak",
      "DeletePath " + path,
      "CreateFileForWriting " + path,
      "CreateMapping 3",
      "MapView",
      "FillView 3",
      "UnmapView",
      "Close",
      "Close",
      "DeletePath " + path + ".bak",
      "SetStatusText " + Updated(path),
  };
  EXPECT_EQ(steps.CallsSince(before), expected);
}

struct WalkCase {
  const char* installedName;
  std::vector<std::string> folders;  // made on the way, in order
};

// Tests that the folder walk makes each intermediate folder in order, skips
// one leading backslash and never makes the file's own name a folder.
TEST(InstallFilesTest, FolderWalk) {
  const WalkCase cases[] = {
      {"x.txt", {}},
      {"\\x.txt", {}},
      {"\\d\\x.txt", {"d"}},
      {"a\\b\\c.txt", {"a", "a\\b"}},
  };
  for (const WalkCase& c : cases) {
    SCOPED_TRACE(c.installedName);
    StepsRun steps({FileEntry(c.installedName, "new")});
    steps.Prepare();
    const size_t before = steps.system.calls.size();
    InstallFiles(steps.system, steps.run);
    std::vector<std::string> folders;
    for (const std::string& call : steps.CallsSince(before)) {
      if (call.rfind("CreateFolder ", 0) == 0) folders.push_back(call.substr(13 + kFolder.size()));
    }
    EXPECT_EQ(folders, c.folders);
    EXPECT_EQ(steps.system.FileContent(kFolder + c.installedName), "new");
  }
}

// Tests that an entry of size 0 is created without a mapping, which Windows
// refuses for an empty file.
TEST(InstallFilesTest, EmptyFileIsNotMapped) {
  StepsRun steps({FileEntry("e.txt", "")});
  steps.Prepare();
  InstallFiles(steps.system, steps.run);
  for (const std::string& call : steps.system.calls) {
    EXPECT_EQ(call.find("CreateMapping"), std::string::npos);
    EXPECT_EQ(call.find("MapView"), std::string::npos);
  }
  EXPECT_EQ(steps.system.FileContent(kFolder + "e.txt"), "");
}

// Tests that a backup left by an earlier run is not deleted before the move,
// so a failing new file brings that earlier original back.
TEST(InstallFilesTest, LeftoverBackupRestoredWhenFileFails) {
  StepsRun steps({FileEntry("a.txt", "new")});
  steps.system.AddFile(kFolder + "a.txt", "partial");
  steps.system.AddFile(kFolder + "a.txt.bak", "original");
  steps.system.failNthCall["CreateMapping"] = 0;
  steps.Prepare();
  InstallFiles(steps.system, steps.run);
  EXPECT_EQ(steps.system.FileContent(kFolder + "a.txt"), "original");
  EXPECT_FALSE(steps.system.HasFile(kFolder + "a.txt.bak"));
  EXPECT_EQ(steps.run.updateFailed, 1u);
}

// Tests a read-only file: Windows lets it be moved to its backup name, so
// it is replaced like any other, but the backup then refuses its delete,
// whose result is not looked at. The old content stays under the backup
// name, read-only, and nothing is lost; the same happens when the update
// runs again.
TEST(InstallFilesTest, ReadOnlyFileReplacedAndItsBackupStays) {
  StepsRun steps({FileEntry("a.txt", "new")});
  steps.system.AddFile(kFolder + "a.txt", "old");
  steps.system.SetReadOnly(kFolder + "a.txt", true);
  steps.Prepare();
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    InstallFiles(steps.system, steps.run);
    EXPECT_EQ(steps.system.FileContent(kFolder + "a.txt"), "new");
    EXPECT_EQ(steps.system.FileContent(kFolder + "a.txt.bak"), "old");
    EXPECT_EQ(steps.system.statusText, Updated(kFolder + "a.txt"));
    EXPECT_EQ(steps.run.updateFailed, 0u);
  }
}

// Tests that a target folder too long for a path fails every file
// without a single file call, and that the failure text still shows the
// whole path.
TEST(InstallFilesTest, TargetFolderThatDoesNotFit) {
  const std::string folder = "C:\\" + std::string(508, 'f') + "\\";  // 512 characters
  StepsRun steps({FileEntry("a.txt", "new")}, folder);
  steps.Prepare();
  const size_t before = steps.system.calls.size();
  InstallFiles(steps.system, steps.run);
  EXPECT_EQ(steps.CallsSince(before).size(), 2u);  // the two status texts
  EXPECT_EQ(steps.system.statusText, Failed(folder + "a.txt"));
  EXPECT_EQ(steps.run.updateFailed, 1u);
}

}  // namespace
}  // namespace brx
