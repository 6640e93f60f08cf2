#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "brxpack/contents/installed_path.h"
#include "brxpack/contents/windows1251.h"

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

// Tests that installed paths are judged suspicious, and escaping the target
// folder, exactly where they should be, and split into the components
// Windows sees.
TEST(InstalledPathTest, JudgesAndSplitsPaths) {
  struct Case {
    std::string path;
    bool escapes;
    bool suspicious;
  };
  const Case cases[] = {
      {"readme.txt", false, false},
      {"docs\\help\\readme.txt", false, false},
      {"docs\\..thing.txt", false, false},
      {"a\\.\\b.txt", false, false},
      {"\\x.txt", true, true},
      {"/etc/passwd", true, true},
      {"C:\\Windows\\evil.dll", true, true},
      {"data:stream", true, true},
      {"..\\outside.txt", true, true},
      {"docs\\..\\..\\outside.txt", true, true},
      {"docs/../../outside.txt", true, true},
      {"docs\\", false, true},
      {"", false, true},
      {"what?.txt", false, true},
      {"tab\there.txt", false, true},
      {std::string(kLongestInstalledPath, 'a'), false, false},
      {std::string(kLongestInstalledPath + 1, 'a'), false, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EscapeProblem(c.path).has_value(), c.escapes) << c.path;
    EXPECT_EQ(InstalledPathProblem(c.path).has_value(), c.suspicious) << c.path;
  }
  EXPECT_EQ(PathComponents("a\\\\b\\.\\c/d.txt"),
            (std::vector<std::string>{"a", "b", "c", "d.txt"}));
}

}  // namespace
}  // namespace brxpack
