#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "package/name_translation.h"

namespace brx {
namespace {

using namespace std::string_literals;

// A table held in a string, whose own terminator stands behind the payload
// as a section block's zero byte does.
MemoryRange RangeOf(const std::string& table) {
  return {reinterpret_cast<const uint8_t*>(table.data()), static_cast<uint32_t>(table.size())};
}

// Tests that the index translates exactly as a scan of the table does: whole
// names, A to Z folded and nothing else, the first pair in table order among
// equal source names (wherever the others stand), installed names never
// matched, and the table's end: a source name without its installed name
// translates to the empty text and ends the table, and a text cut by the
// payload's end is ended by the zero byte behind it.
TEST(NameTableIndexTest, TranslatesAsTheScanDoes) {
  struct Case {
    const char* what;
    std::string table;
    const char* entryName;
    const char* installed;
  };
  const Case cases[] = {
      {"no pairs", "", "a.txt", "a.txt"},
      {"empty table", "\0\0"s, "a.txt", "a.txt"},
      {"latin case folded", "Docs\\Readme.txt\0help\\readme.txt\0\0"s, "docs\\README.TXT",
       "help\\readme.txt"},
      {"first of equal names", "z\0z1\0a.TXT\0one\0m\0m1\0A.txt\0two\0a.txt\0three\0\0"s, "A.Txt",
       "one"},
      {"later pair", "a\0b\0c\0d\0e\0f\0\0"s, "E", "f"},
      {"cyrillic case kept", "\xC4\xEE\xEA\0x\0\0"s, "\xE4\xEE\xEA", "\xE4\xEE\xEA"},
      {"cyrillic exact", "\xC4\xEE\xEA\0x\0a\0y\0\0"s, "\xC4\xEE\xEA", "x"},
      {"bytes above 0x7F sort unsigned", "\xC4\0x\0a\0y\0\x7F\0z\0\0"s, "a", "y"},
      {"installed names never matched", "a.txt\0b.txt\0\0"s, "b.txt", "b.txt"},
      {"prefix is no match", "a.tx\0b\0\0"s, "a.txt", "a.txt"},
      {"longer name is no match", "a.txt\0b\0\0"s, "a.tx", "a.tx"},
      {"empty name never matches", "a\0b\0\0"s, "", ""},
      {"lone last source", "a.txt\0\0"s, "a.txt", ""},
      {"table ends at the lone source", "a.txt\0\0c.txt\0d.txt\0\0"s, "c.txt", "c.txt"},
      {"installed name cut by the end", "a.txt\0b.txt"s, "a.txt", "b.txt"},
      {"source name cut by the end", "x\0y\0a.txt"s, "A.TXT", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    NameTable index;
    ASSERT_TRUE(index.Build(RangeOf(c.table)));
    EXPECT_STREQ(index.Translate(c.entryName), c.installed);
    EXPECT_STREQ(InstalledName(RangeOf(c.table), c.entryName), c.installed);
  }
}

// Tests that lookups stay logarithmic: indexing n pairs (in no order) and
// translating every source name, and as many names that match none, takes a
// number of name comparisons near n log n, where a scan per name takes
// n * n / 2.
TEST(NameTableIndexTest, ComparisonsGrowAsNLogN) {
  constexpr unsigned kPairs = 4096;
  constexpr unsigned kLog2 = 12;
  std::string table;
  // Multiplying by an odd number scatters the sources without repeating one.
  const auto source = [](unsigned i) { return "~" + std::to_string(i * 2654435761u) + "~"; };
  for (unsigned i = 0; i < kPairs; ++i) {
    table += source(i) + "File.txt" + '\0';
    table += std::to_string(i) + '\0';
  }
  table += '\0';
  NameTable index;
  ASSERT_TRUE(index.Build(RangeOf(table)));
  EXPECT_EQ(index.pairCount(), kPairs);
  for (unsigned i = 0; i < kPairs; ++i) {
    ASSERT_EQ(index.Translate((source(i) + "FILE.TXT").c_str()), std::to_string(i));
    const std::string missing = source(i) + "FILE.TX";
    ASSERT_EQ(index.Translate(missing.c_str()), missing);
  }
  EXPECT_LE(index.comparisons(), uint64_t{6} * kPairs * kLog2) << index.comparisons();
}

}  // namespace
}  // namespace brx
