#include "steps/parse_number.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace brx {
namespace {

struct NumberCase {
  const char* text;
  int32_t value;
};

// Tests that every number text of the registry table gives its listed value,
// including a blank after a hexadecimal number, which ends its digits.
TEST(ParseNumberTest, NumberTable) {
  const NumberCase cases[] = {
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
      {"0x1Fz9", 31},
      {"\t\r\n 42", 42},
      {"\xA0\xFF"
       "7",
       7},
      {"-", 0},
      {"- 5", 0},
      {"0xFFFFFFFF", -1},
      {"-0x80000000", INT32_MIN},
      {"4294967297", 1},
      {"-2147483648", INT32_MIN},
  };
  for (const NumberCase& c : cases) {
    EXPECT_EQ(ParseNumber(c.text), c.value) << '"' << c.text << '"';
  }
}

// Tests that ParseHex takes its own sign and stops at the first character
// that is not a hexadecimal digit.
TEST(ParseNumberTest, HexDigitsOnly) {
  const NumberCase cases[] = {
      {"1F", 31}, {"-10", -16}, {"aBcD", 0xABCD}, {"", 0}, {"g1", 0}, {"12 34", 0x12},
  };
  for (const NumberCase& c : cases) {
    EXPECT_EQ(ParseHex(c.text), c.value) << '"' << c.text << '"';
  }
}

}  // namespace
}  // namespace brx
