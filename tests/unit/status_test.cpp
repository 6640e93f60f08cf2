#include "run/status.h"

#include <gtest/gtest.h>

#include <string>

#include "support/fake_system.h"

namespace brx {
namespace {

// Tests that each call replaces the whole status text and that the format's
// arguments are filled in.
TEST(ShowStatusTest, EachCallReplacesTheText) {
  FakeSystem system;
  ShowStatus(system, "first, much longer text %d", 1);
  ShowStatus(system, "(%s)\r\n", "C:\\a");
  EXPECT_EQ(system.statusText, "(C:\\a)\r\n");
  ASSERT_EQ(system.statusTexts.size(), 2u);
  EXPECT_EQ(system.statusTexts[0], "first, much longer text 1");
}

// Tests the bounds of the status text: 65,535 characters pass whole, a longer
// text is cut there, and a text that cannot be formatted leaves the previous one.
TEST(ShowStatusTest, BoundsAndUnformattableTexts) {
  struct Case {
    std::string argument;
    const char* format;
    size_t expectedLength;
  };
  const Case cases[] = {
      {std::string(kStatusCapacity - 1, 'a'), "%s", kStatusCapacity - 1},
      {std::string(kStatusCapacity, 'b'), "%s", kStatusCapacity - 1},
      {std::string(100000, 'c'), "x%s", kStatusCapacity - 1},
  };
  for (const Case& c : cases) {
    FakeSystem system;
    ShowStatus(system, c.format, c.argument.c_str());
    EXPECT_EQ(system.statusText.size(), c.expectedLength);
    EXPECT_EQ(system.statusText.back(), c.argument[0]);
  }

  FakeSystem system;
  ShowStatus(system, "kept");
  ShowStatus(system, "%q", 1);
  const char* const kNullText = nullptr;
  ShowStatus(system, "%s", kNullText);
  EXPECT_EQ(system.statusText, "kept");
  EXPECT_EQ(system.statusTexts.size(), 1u);
}

}  // namespace
}  // namespace brx
