#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "brxpack/manifest/path_pattern.h"
#include "brxpack/contents/package_path.h"
#include "brxpack/contents/windows1251.h"
#include "brxpack/host/byte_size.h"

namespace brxpack {
namespace {

// Tests that texts a publisher writes convert to the installer's bytes and
// back (Latin, Cyrillic, the punctuation of the upper half), and that a text
// that cannot be stored is refused with a reason naming the character.
TEST(Windows1251Test, ConvertsOrRefuses) {
  struct Case {
    std::string utf8;
    std::string bytes;  // or the reason it cannot be stored
  };
  const Case converted[] = {
      {"Setup 2.0\r\n", "Setup 2.0\r\n"},
      {"Обновление", "\xCE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xE5"},
      {"ёЁ№€—«»", "\xB8\xA8\xB9\x88\x97\xAB\xBB"},
      {"Ђђ\u00A0", "\x80\x90\xA0"},
      {"", ""},
  };
  for (const Case& c : converted) {
    const Result<std::string> bytes = Utf8ToWindows1251(c.utf8);
    EXPECT_EQ(bytes.ok() ? *bytes : bytes.error(), c.bytes);
    EXPECT_EQ(Windows1251ToUtf8(c.bytes), c.utf8);
    EXPECT_TRUE(SurvivesUtf8RoundTrip(c.bytes)) << c.utf8;
  }
  const Case refused[] = {
      {"Ωmega", "the character 'Ω' (U+03A9) has no Windows-1251 form"},
      {"emoji 😀", "the character '😀' (U+1F600) has no Windows-1251 form"},
      {std::string("a\0b", 3), "the text holds a NUL character, which would end it early"},
      {"bad \xC3", "the text is not valid UTF-8 (at byte 5)"},
      {"overlong \xC0\xAF", "the text is not valid UTF-8 (at byte 10)"},
      {"surrogate \xED\xA0\x80", "the text is not valid UTF-8 (at byte 11)"},
  };
  for (const Case& c : refused) {
    const Result<std::string> bytes = Utf8ToWindows1251(c.utf8);
    EXPECT_EQ(bytes.ok() ? "converted" : bytes.error(), c.bytes);
  }
  // The one byte without a character shows as U+FFFD, which has no way back.
  EXPECT_EQ(Windows1251ToUtf8("a\x98"), "a\xEF\xBF\xBD");
  EXPECT_FALSE(SurvivesUtf8RoundTrip("a\x98"));
}

// Tests that the one path rule refuses exactly what the installer must not
// be handed, for each use, and lets through what is merely unusual.
TEST(PackagePathTest, RefusesWhatWouldLeaveOrBreak) {
  using enum PathUse;
  struct Case {
    std::string path;
    PathUse use;
    std::string problem;  // its start; empty: accepted
  };
  const Case cases[] = {
      {"docs\\help\\readme.txt", kInstalledFile, ""},
      {"docs\\..thing.txt", kInstalledFile, ""},
      {"console.txt", kInstalledFile, ""},
      {"COM0", kInstalledFile, ""},
      {"data\\", kFolder, ""},
      {"help\\", kRemoval, ""},
      {"", kRemoval, "is empty"},
      {"data\nnew.txt", kInstalledFile, "holds a control character (U+000A)"},
      {"\\Users", kRemoval, "is absolute"},
      {"/etc/passwd", kInstalledFile, "is absolute"},
      {"C:\\Windows\\win.ini", kRemoval, "holds a colon"},
      {"data:stream", kInstalledFile, "holds a colon"},
      {"..\\Common Files\\Acme", kRemoval, "climbs out"},
      {"docs/../../x", kFolder, "climbs out"},
      {"a\\.\\b.txt", kInstalledFile, "has the component '.', ending in a dot"},
      {"readme.txt.", kInstalledFile, "has the component 'readme.txt.', ending in a dot"},
      {"folder \\x.txt", kInstalledFile, "has the component 'folder ', ending in a dot or a space"},
      {"CON.txt", kInstalledFile, "has the component 'CON.txt', a Windows device name"},
      {"x\\aux", kFolder, "has the component 'aux', a Windows device name"},
      {"nul.tar.gz", kRemoval, "has the component 'nul.tar.gz', a Windows device name"},
      {"Lpt9 .log", kInstalledFile, "has the component 'Lpt9 .log', a Windows device name"},
      {"logs\\com3.log", kRemoval, "has the component 'com3.log', a Windows device name"},
      {"what?.txt", kInstalledFile, "holds '?'"},
      {"docs\\", kInstalledFile, "ends in a separator"},
      {"tools\\", kProgram, "ends in a separator"},
      {"x/y.txt", kInstalledFile, "holds '/', which the installer does not take"},
      {"logs/", kFolder, "holds '/'"},
      // Below C:\ a file and its ".bak" take 259 characters, a folder 247.
      {std::string(252, 'a'), kInstalledFile, ""},
      {std::string(253, 'a'), kInstalledFile, "is 253 characters long: even below"},
      {std::string(244, 'a'), kFolder, ""},
      {std::string(245, 'a'), kFolder, "is 245 characters long"},
      {std::string(256, 'a'), kRemoval, ""},
      {std::string(257, 'a'), kRemoval, "is 257 characters long"},
      {std::string(244, 'a') + "\\b.txt", kInstalledFile, ""},
      {std::string(245, 'a') + "\\b.txt", kInstalledFile, "has a folder part of 245"},
  };
  for (const Case& c : cases) {
    const std::optional<std::string> problem = PackagePathProblem(c.path, c.use);
    EXPECT_EQ(problem.value_or("").substr(0, c.problem.size()), c.problem) << c.path;
    EXPECT_EQ(problem.has_value(), !c.problem.empty()) << c.path;
  }
  // Above 160 characters a long program folder would push a path past those limits.
  EXPECT_FALSE(PathLengthWarning(std::string(160, 'a'), kInstalledFile));
  EXPECT_TRUE(PathLengthWarning(std::string(161, 'a'), kRemoval));
  EXPECT_FALSE(PathLengthWarning(std::string(200, 'a'), kProgram));
  // Programs declared not relative must be absolute instead.
  EXPECT_FALSE(ProgramProblem("z:\\Tools\\x.exe", false));
  EXPECT_FALSE(ProgramProblem("Z:/Tools/x.exe", false));
  EXPECT_FALSE(ProgramProblem("\\\\server\\share\\x.exe", false));
  EXPECT_TRUE(ProgramProblem("x.exe", false));
  EXPECT_TRUE(ProgramProblem("C:\\x\n.exe", false));
}

// Tests that installed paths are the same file exactly when Windows takes
// them for one: separators of either kind and doubled, letters of either
// case, Cyrillic ones included.
TEST(PackagePathTest, KeysPathsAsWindowsComparesThem) {
  EXPECT_EQ(InstalledPathKey("Data\\\\Maps/CITY.map"), "data\\maps\\city.map");
  EXPECT_EQ(InstalledPathKey("\xCA\xE0\xF0\xF2\xFB\\\xA8\x80"), "\xEA\xE0\xF0\xF2\xFB\\\xB8\x90");
  EXPECT_NE(InstalledPathKey("a.txt"), InstalledPathKey("a.txt2"));
}

// Tests that payload patterns pick what a publisher means: names anywhere
// unless a separator anchors them, folders with everything below them,
// wildcards within a name, "**" across folders, either case.
TEST(PathPatternTest, MatchesNamesAndFolders) {
  struct Case {
    const char* pattern;
    const char* path;
    bool matches;
  };
  const Case cases[] = {
      {"*.pdb", "bin/app.PDB", true},
      {"*.pdb", "bin/app.pdb.txt", false},
      {".git", ".git/config", true},
      {".git", "src/.git/HEAD", true},
      {".git", "a.git", false},
      {"docs/drafts", "docs/drafts/x.txt", true},
      {"docs/drafts", "old/docs/drafts", false},
      {"**/cache/*.tmp", "a/b/cache/x.tmp", true},
      {"**/cache/*.tmp", "cache/x.tmp", true},
      {"data\\?.bin", "data/1.bin", true},
      {"data\\?.bin", "data/10.bin", false},
      {"a*b*c", "axxbyyc", true},
  };
  for (const Case& c : cases) {
    const Result<PathPattern> pattern = PathPattern::Parse(c.pattern);
    ASSERT_TRUE(pattern.ok()) << c.pattern;
    EXPECT_EQ(pattern->Matches(c.path), c.matches) << c.pattern << " " << c.path;
  }
  EXPECT_FALSE(PathPattern::Parse("").ok());
  EXPECT_FALSE(PathPattern::Parse("../x").ok());
}

// Tests that sizes and counts read right at every unit's edge: one unit
// style, and the singular only for exactly one.
TEST(ByteSizeTest, ReadsAsAPersonWritesIt) {
  const std::pair<uint64_t, std::string> sizes[] = {
      {0, "0 bytes"},       {1, "1 byte"},           {2, "2 bytes"},
      {9999, "9999 bytes"}, {10000, "10.0 KB"},      {999949, "999.9 KB"},
      {999950, "1.0 MB"},   {400000000, "400.0 MB"}, {10000000000, "10.0 GB"},
  };
  for (const auto& [bytes, text] : sizes) EXPECT_EQ(ReadableSize(bytes), text) << bytes;
  EXPECT_EQ(Counted(1, "entry", "entries"), "1 entry");
  EXPECT_EQ(Counted(0, "entry", "entries"), "0 entries");
  EXPECT_EQ(Counted(2, "file", "files"), "2 files");
}

}  // namespace
}  // namespace brxpack
