#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brx {
namespace {

std::vector<std::string> Split(const std::string& commandLine) {
  ArgumentList arguments;
  EXPECT_TRUE(SplitCommandLine(commandLine.c_str(), &arguments));
  std::vector<std::string> result(arguments.items, arguments.items + arguments.count);
  ReleaseArguments(&arguments);
  return result;
}

using Args = std::vector<std::string>;

// Tests the splitting rules: blanks, quotes without escapes, quotes inside an
// unquoted run, an empty quoted argument ending the line, a quote left open.
TEST(SplitCommandLineTest, FollowsTheSplittingRules) {
  struct Case {
    const char* name;
    std::string commandLine;
    Args expected;
  };
  const Case cases[] = {
      {"empty", "", {}},
      {"only blanks", " \t\r\n", {}},
      {"quoted program path",
       "\"C:\\Program Files\\Upd\\PATCH.EXE\"",
       {"C:\\Program Files\\Upd\\PATCH.EXE"}},
      {"quoted package with a blank",
       "PATCH.EXE \"C:\\My Files\\a.brx\"",
       {"PATCH.EXE", "C:\\My Files\\a.brx"}},
      {"quotes inside an unquoted run", "a\"\"b", {"a\"\"b"}},
      {"argument right after a closing quote", "\"a\"b", {"a", "b"}},
      {"empty quotes end the line", "PATCH.EXE \"\" pkg.brx", {"PATCH.EXE"}},
      {"empty quotes first", "\"\" PATCH.EXE", {}},
      {"quote left open", "PATCH.EXE \"C:\\a b", {"PATCH.EXE", "C:\\a b"}},
      {"backslash is ordinary", "P.EXE C:\\x\\\"y\"", {"P.EXE", "C:\\x\\\"y\""}},
      {"control bytes are blanks",
       "a\x01\x1F\x20"
       "b\tc",
       {"a", "b", "c"}},
      {"DEL is ordinary",
       "a\x7F"
       "b",
       {"a\x7F"
        "b"}},
      {"leading and trailing blanks", "  a   b  ", {"a", "b"}},
      {"three arguments", "PATCH.EXE pkg.brx other", {"PATCH.EXE", "pkg.brx", "other"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Split(c.commandLine), c.expected) << c.name;
  }
}

// Tests that bytes 0x80 to 0xFF are ordinary argument bytes everywhere, so an
// unquoted Windows-1251 path splits whole (a signed comparison would cut it).
TEST(SplitCommandLineTest, HighBytesAreOrdinaryEverywhere) {
  const std::string program = "C:\\\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB\\PATCH.EXE";  // Программы
  const std::string package = "\xEE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xE5.brx";  // обновление
  struct Case {
    const char* name;
    std::string commandLine;
    Args expected;
  };
  const Case cases[] = {
      {"unquoted Cyrillic", program + " " + package, {program, package}},
      {"quoted Cyrillic", "\"" + program + "\" \"" + package + "\"", {program, package}},
      {"high byte first",
       "\xFF"
       "a b",
       {"\xFF"
        "a",
        "b"}},
      {"high byte after a blank", "a \x80", {"a", "\x80"}},
      {"every high byte", "\x80\xA0\xC0\xFF", {"\x80\xA0\xC0\xFF"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Split(c.commandLine), c.expected) << c.name;
  }
}

// Tests that arguments past the 256th are dropped without overflowing the list.
TEST(SplitCommandLineTest, KeepsAtMost256Arguments) {
  std::string commandLine;
  for (int i = 1; i <= 300; ++i) commandLine += "arg" + std::to_string(i) + " ";
  const Args arguments = Split(commandLine);
  ASSERT_EQ(arguments.size(), kMaxArguments);
  EXPECT_EQ(arguments.front(), "arg1");
  EXPECT_EQ(arguments.back(), "arg256");
}

// Tests the mode chosen for each number of arguments and fourth argument.
TEST(SelectRunModeTest, ChoosesByCountAndKeyword) {
  struct Case {
    std::string commandLine;
    RunMode expected;
  };
  const Case cases[] = {
      {"", RunMode::kApplyOwnFile},
      {"PATCH.EXE", RunMode::kApplyOwnFile},
      {"PATCH.EXE pkg", RunMode::kApplyPackageFile},
      {"PATCH.EXE pkg other", RunMode::kApplyPackageFile},
      {"PATCH.EXE pkg out MAKEEXE", RunMode::kBuild},
      {"PATCH.EXE pkg out MAKEEXE fifth", RunMode::kBuild},
      {"PATCH.EXE pkg out makeexe", RunMode::kUsage},
      {"PATCH.EXE pkg out MAKEEXE2", RunMode::kUsage},
      {"PATCH.EXE pkg out other MAKEEXE", RunMode::kUsage},
  };
  for (const Case& c : cases) {
    ArgumentList arguments;
    ASSERT_TRUE(SplitCommandLine(c.commandLine.c_str(), &arguments));
    EXPECT_EQ(SelectRunMode(arguments), c.expected) << c.commandLine;
    ReleaseArguments(&arguments);
  }
}

}  // namespace
}  // namespace brx
