// Texts in and out: the command line, the registry table's numbers, the
// bounded formatter and the status line.
#include <gtest/gtest.h>

#include <climits>
#include <iterator>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "run/format_text.h"
#include "run/status.h"
#include "steps/parse_number.h"
#include "support/fake_system.h"

namespace brx {
namespace {

using Args = std::vector<std::string>;

Args Split(const std::string& commandLine, RunMode* mode = nullptr) {
  ArgumentList arguments;
  EXPECT_TRUE(SplitCommandLine(commandLine.c_str(), &arguments));
  Args result(arguments.items, arguments.items + arguments.count);
  if (mode != nullptr) *mode = SelectRunMode(arguments);
  ReleaseArguments(&arguments);
  return result;
}

// Tests the splitting rules: blanks are the bytes 1 to 32, quotes have no
// escapes and count only at an argument's start, an empty quoted argument
// ends the line, a quote may be left open, and every byte from 0x80 up is
// an ordinary byte (a signed comparison would cut a Cyrillic path).
TEST(CommandLineTest, FollowsTheSplittingRules) {
  const std::string program = "C:\\\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB\\PATCH.EXE";
  const std::pair<std::string, Args> cases[] = {
      {"", {}},
      {" \t\r\n", {}},
      {"\"C:\\Program Files\\PATCH.EXE\" \"C:\\My Files\\a.brx\"",
       {"C:\\Program Files\\PATCH.EXE", "C:\\My Files\\a.brx"}},
      {"a\"\"b", {"a\"\"b"}},
      {"\"a\"b", {"a", "b"}},
      {"PATCH.EXE \"\" pkg.brx", {"PATCH.EXE"}},
      {"\"\" PATCH.EXE", {}},
      {"PATCH.EXE \"C:\\a b", {"PATCH.EXE", "C:\\a b"}},
      {"P.EXE C:\\x\\\"y\"", {"P.EXE", "C:\\x\\\"y\""}},
      {"a\1\37 b\tc\x7F", {"a", "b", "c\x7F"}},
      {"  a   b  ", {"a", "b"}},
      {program + " \"" + program + "\"", {program, program}},
      {"\377a \x80\xA0\xC0\xFF", {"\377a", "\x80\xA0\xC0\xFF"}},
  };
  for (const auto& [commandLine, expected] : cases)
    EXPECT_EQ(Split(commandLine), expected) << commandLine;

  std::string many;
  for (int i = 1; i <= 300; ++i) many += "arg" + std::to_string(i) + " ";
  const Args kept = Split(many);
  ASSERT_EQ(kept.size(), kMaxArguments);
  EXPECT_EQ(kept.back(), "arg256");
}

// Tests the mode chosen for each number of arguments and fourth argument.
TEST(CommandLineTest, ChoosesTheModeByCountAndKeyword) {
  const std::pair<const char*, RunMode> cases[] = {
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
  for (const auto& [commandLine, expected] : cases) {
    RunMode mode = RunMode::kUsage;
    Split(commandLine, &mode);
    EXPECT_EQ(mode, expected) << commandLine;
  }
}

// Tests every number text of the registry table: a hexadecimal text stops
// at the first character that is no hexadecimal digit, and its digits may
// carry a sign of their own.
TEST(ParseNumberTest, NumberTable) {
  const std::pair<const char*, int32_t> numbers[] = {
      {"  0x1F", 31},
      {"0X1f", 31},
      {"-0x10", -16},
      {"017", 17},
      {"12abc", 12},
      {"-5", -5},
      {"", 0},
      {"0x", 0},
      {"+0x10", 0},
      {"16 ", 16},
      {"0x123456789", 0x23456789},
      {"0x1F ", 31},
      {"0xaAfF", 0xAAFF},
      {"0x1Fz9", 31},
      {"\t\r\n 42", 42},
      {"!5", 0},
      {"\xA0\xFF\x37", 7},
      {"-", 0},
      {"- 5", 0},
      {"0xFFFFFFFF", -1},
      {"-0x80000000", INT32_MIN},
      {"4294967297", 1},
      {"0x-10", -16},
      {"0xg1", 0},
      {"-2147483648", INT32_MIN},
  };
  for (const auto& [text, value] : numbers)
    EXPECT_EQ(ParseNumber(text), value) << '"' << text << '"';
}

// Formats into `capacity` bytes followed by a guard byte that must survive.
template <typename... Args>
std::pair<FormatResult, std::string> Format(size_t capacity, const char* format, Args... args) {
  std::vector<char> buffer(capacity + 1, 'X');
  const FormatResult result = FormatText(buffer.data(), capacity, format, args...);
  EXPECT_EQ(buffer[capacity], 'X') << "written past the capacity for " << format;
  return {result, capacity == 0 ? std::string() : std::string(buffer.data())};
}

// Tests that each conversion writes what the runtime's formatted print
// would; that a longer text is cut to capacity - 1 characters, terminated;
// and that an unknown conversion or a null text gives no usable text
// rather than reading an argument of the wrong type.
TEST(FormatTextTest, ConvertsCutsAndRefuses) {
  const auto kComplete = FormatResult::kComplete;
  const auto kCut = FormatResult::kCut;
  const auto kBad = FormatResult::kBadFormat;
  const char* const kNull = nullptr;
  const std::pair<std::pair<FormatResult, std::string>, std::pair<FormatResult, std::string>>
      rows[] = {
          {Format(64, "a%s-b%s", "\xCE\xF8", ""), {kComplete, "a\xCE\xF8-b"}},
          {Format(64, "%d %d %d %d", 0, -7, INT_MIN, INT_MAX),
           {kComplete, "0 -7 -2147483648 2147483647"}},
          {Format(64, "%u %u", 4294967295u, 0u), {kComplete, "4294967295 0"}},
          {Format(64, "%x %x %x", 255u, 0u, 0xDEADBEEFu), {kComplete, "ff 0 deadbeef"}},
          {Format(64, "100%% %%s"), {kComplete, "100% %s"}},
          {Format(6, "abcde"), {kComplete, "abcde"}},
          {Format(6, "abcdef"), {kCut, "abcde"}},
          {Format(6, "ab%s", "cdefgh"), {kCut, "abcde"}},
          {Format(6, "%d", -123456), {kCut, "-1234"}},
          {Format(6, "%x!", 0xABCDEu), {kCut, "abcde"}},
          {Format(6, "abcde%%"), {kCut, "abcde"}},
          {Format(1, "a"), {kCut, ""}},
          {Format(0, "a"), {kCut, ""}},
          {Format(64, "a%ld", 5L), {kBad, "a"}},
          {Format(64, "%5s", "x"), {kBad, ""}},
          {Format(64, "trailing %"), {kBad, "trailing "}},
          {Format(64, "[%s]", kNull), {kBad, "["}},
      };
  for (size_t i = 0; i < std::size(rows); ++i)
    EXPECT_EQ(rows[i].first, rows[i].second) << "row " << i;
}

// Tests that each status text replaces the whole line, that 65,535
// characters pass whole and a longer text is cut there, and that a text
// that cannot be formatted leaves the previous one.
TEST(ShowStatusTest, BoundsAndUnformattableTexts) {
  FakeSystem system;
  const std::string longest(kStatusCapacity - 1, 'a');
  ShowStatus(system, "%s", longest.c_str());
  ShowStatus(system, "x%s", std::string(100000, 'b').c_str());
  ShowStatus(system, "(%s)\r\n", "C:\\a");
  ShowStatus(system, "%q", 1);
  const char* const kNull = nullptr;
  ShowStatus(system, "%s", kNull);
  ASSERT_EQ(system.StatusTexts().size(), 3u);
  EXPECT_EQ(system.StatusTexts()[0], longest);
  EXPECT_EQ(system.StatusTexts()[1], "x" + std::string(kStatusCapacity - 2, 'b'));
  EXPECT_EQ(system.StatusTexts()[2], "(C:\\a)\r\n");
}

}  // namespace
}  // namespace brx
