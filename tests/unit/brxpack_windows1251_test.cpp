#include <gtest/gtest.h>

#include <string>

#include "brxpack/contents/windows1251.h"

namespace brxpack {
namespace {

// Tests that texts a publisher writes convert to the installer's bytes, and
// back, for Latin, Cyrillic and the punctuation of the upper half.
TEST(Windows1251Test, ConvertsBothWays) {
  struct Case {
    std::string utf8;
    std::string bytes;
  };
  const Case cases[] = {
      {"Setup 2.0\r\n", "Setup 2.0\r\n"},
      {"Обновление", "\xCE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xE5"},
      {"ёЁ№€—«»", "\xB8\xA8\xB9\x88\x97\xAB\xBB"},
      {"Ђђ\u00A0", "\x80\x90\xA0"},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.utf8);
    const Result<std::string> bytes = Utf8ToWindows1251(c.utf8);
    ASSERT_TRUE(bytes.ok()) << bytes.error();
    EXPECT_EQ(*bytes, c.bytes);
    EXPECT_EQ(Windows1251ToUtf8(c.bytes), c.utf8);
    EXPECT_TRUE(SurvivesUtf8RoundTrip(c.bytes));
  }
}

// Tests that a text that cannot be stored is refused with a reason that
// names the character.
TEST(Windows1251Test, RefusesWhatCannotBeStored) {
  struct Case {
    std::string utf8;
    std::string reason;
  };
  const Case cases[] = {
      {"Ωmega", "the character 'Ω' (U+03A9) has no Windows-1251 form"},
      {"emoji 😀", "the character '😀' (U+1F600) has no Windows-1251 form"},
      {std::string("a\0b", 3), "the text holds a NUL character, which would end it early"},
      {"bad \xC3", "the text is not valid UTF-8 (at byte 5)"},
      {"overlong \xC0\xAF", "the text is not valid UTF-8 (at byte 10)"},
      {"surrogate \xED\xA0\x80", "the text is not valid UTF-8 (at byte 11)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.utf8);
    const Result<std::string> bytes = Utf8ToWindows1251(c.utf8);
    ASSERT_FALSE(bytes.ok());
    EXPECT_EQ(bytes.error(), c.reason);
  }
}

// Tests that the one byte without a character shows as U+FFFD and is known
// not to survive the way back.
TEST(Windows1251Test, TheByteWithoutACharacterDoesNotRoundTrip) {
  EXPECT_EQ(Windows1251ToUtf8("a\x98"), "a\xEF\xBF\xBD");
  EXPECT_FALSE(SurvivesUtf8RoundTrip("a\x98"));
}

}  // namespace
}  // namespace brxpack
