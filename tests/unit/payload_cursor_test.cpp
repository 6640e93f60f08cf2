#include "package/payload_cursor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/package_samples.h"

namespace brx {
namespace {

using test::GuardedBlock;

// One read of a script: 't' text, 'c' complete text, 'l' list item, 'u'
// number, 'b' byte. Each gives its value as text ("-" for nothing).
std::vector<std::string> Walk(const std::string& payload, const std::string& reads) {
  GuardedBlock block(payload);
  PayloadCursor cursor(block.range());
  std::vector<std::string> seen;
  for (char read : reads) {
    const char* text = nullptr;
    std::string value = "-";
    switch (read) {
      case 't':
        text = cursor.ReadText();
        break;
      case 'c':
        text = cursor.ReadCompleteText();
        break;
      case 'l':
        text = cursor.ReadListItem();
        break;
      case 'u':
        if (auto number = cursor.ReadUint32()) value = std::to_string(*number);
        break;
      case 'b':
        if (auto byte = cursor.ReadByte()) value = std::to_string(*byte);
        break;
    }
    if (text != nullptr) value = "'" + std::string(text) + "'";
    seen.push_back(value);
    EXPECT_LE(cursor.position(), payload.size());
  }
  return seen;
}

using Seen = std::vector<std::string>;

// Tests every kind of read at the block's end and across cut-short items:
// nothing is read past the size, an unterminated text ends with the block,
// and a number that does not fit reads as absent and ends the reading.
TEST(PayloadCursorTest, NeverReadsPastTheBlock) {
  struct Case {
    const char* what;
    std::string payload;
    const char* reads;
    Seen expected;
  };
  const Case cases[] = {
      {"texts end to end", std::string("ab\0\0cd\0", 7), "tttt", {"'ab'", "''", "'cd'", "-"}},
      {"text cut by the end", "abc", "tt", {"'abc'", "-"}},
      {"empty block", "", "tclub", {"-", "-", "-", "-", "-"}},
      {"complete text cut by the end", "abc", "ct", {"-", "-"}},
      {"complete text with its zero", std::string("abc\0d", 5), "cc", {"'abc'", "-"}},
      {"list to its empty item", std::string("a\0b\0\0c\0", 7), "llll", {"'a'", "'b'", "-", "'c'"}},
      {"list cut by the end", std::string("a\0b", 3), "lll", {"'a'", "'b'", "-"}},
      {"unaligned number after a text",
       std::string("k\0\x01\x02\x03\x04\0", 7),
       "tub",
       {"'k'", "67305985", "0"}},
      {"number with three bytes left",
       std::string("k\0\x01\x02\x03", 5),
       "tubt",
       {"'k'", "-", "-", "-"}},
      {"all bits", std::string("\xFF\xFF\xFF\xFF", 4), "ub", {"4294967295", "-"}},
      {"bytes to the end", std::string("\x03\0", 2), "bbb", {"3", "0", "-"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Walk(c.payload, c.reads), c.expected);
  }
}

}  // namespace
}  // namespace brx
