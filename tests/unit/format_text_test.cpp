#include "run/format_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

namespace brx {
namespace {

constexpr char kGuard = 'X';

// Formats into a buffer of `capacity` bytes followed by a guard byte that must
// survive; gives the result and the text.
template <typename... Args>
std::pair<FormatResult, std::string> Format(size_t capacity, const char* format, Args... args) {
  std::vector<char> buffer(capacity + 1, kGuard);
  const FormatResult result = FormatText(buffer.data(), capacity, format, args...);
  EXPECT_EQ(buffer[capacity], kGuard) << "written past the capacity for " << format;
  return {result, capacity == 0 ? std::string() : std::string(buffer.data())};
}

struct Row {
  std::pair<FormatResult, std::string> got;
  FormatResult result;
  std::string text;
};

void ExpectRows(const std::vector<Row>& rows) {
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].got.first, rows[i].result) << "row " << i;
    EXPECT_EQ(rows[i].got.second, rows[i].text) << "row " << i;
  }
}

// Tests that each conversion writes what the runtime's formatted print would.
TEST(FormatTextTest, ConvertsLikeFormattedPrint) {
  const auto kComplete = FormatResult::kComplete;
  ExpectRows({
      {Format(64, "plain"), kComplete, "plain"},
      {Format(64, "a%s-b", "\xCE\xF8"), kComplete, "a\xCE\xF8-b"},
      {Format(64, "%s%s", "C:\\Viewer\\", "viewer.exe"), kComplete, "C:\\Viewer\\viewer.exe"},
      {Format(64, "(%s)\r\n", ""), kComplete, "()\r\n"},
      {Format(64, "%d %d %d", 0, -7, 42), kComplete, "0 -7 42"},
      {Format(64, "%d %d", INT_MIN, INT_MAX), kComplete, "-2147483648 2147483647"},
      {Format(64, "%u %u", 4294967295u, 0u), kComplete, "4294967295 0"},
      {Format(64, "%x %x %x", 255u, 0u, 0xDEADBEEFu), kComplete, "ff 0 deadbeef"},
      {Format(64, "100%% %%s"), kComplete, "100% %s"},
      {Format(64, ""), kComplete, ""},
  });
}

// Tests that a text longer than the buffer is cut to capacity - 1 characters,
// always terminated, and never written past the buffer.
TEST(FormatTextTest, CutsAtCapacity) {
  const auto kCut = FormatResult::kCut;
  const auto kComplete = FormatResult::kComplete;
  ExpectRows({
      {Format(6, "abcde"), kComplete, "abcde"},
      {Format(6, "abcdef"), kCut, "abcde"},
      {Format(6, "ab%s", "cdefgh"), kCut, "abcde"},
      {Format(6, "%d", -123456), kCut, "-1234"},
      {Format(6, "%x!", 0xABCDEu), kCut, "abcde"},
      {Format(6, "abcde%%"), kCut, "abcde"},
      {Format(1, "a"), kCut, ""},
      {Format(0, "a"), kCut, ""},
  });
}

// Tests that a format the formatter does not know gives no usable text
// rather than reading an argument of the wrong type.
TEST(FormatTextTest, RejectsUnknownConversionsAndNullTexts) {
  const auto kBad = FormatResult::kBadFormat;
  const char* const kNullText = nullptr;
  ExpectRows({
      {Format(64, "a%ld", 5L), kBad, "a"},
      {Format(64, "%5s", "x"), kBad, ""},
      {Format(64, "%p", &kGuard), kBad, ""},
      {Format(64, "trailing %"), kBad, "trailing "},
      {Format(64, "[%s]", kNullText), kBad, "["},
  });
}

}  // namespace
}  // namespace brx
