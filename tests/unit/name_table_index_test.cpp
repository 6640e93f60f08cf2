#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "package/name_translation.h"
#include "support/package_samples.h"

namespace brx::test {
namespace {

using namespace std::string_literals;

// Tests that the index translates exactly as a scan of the table does: whole
// names, A to Z folded and nothing else, the first pair in table order among
// equal source names (wherever the others stand), installed names never
// matched, and the table's end: a source name followed by the empty text
// translates to it and ends the table, and a pair the payload's end cuts
// short is not used: a file it may name (its whole source name, or one that
// begins with its cut source name) has no known installed name.
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
      {"installed name cut by the end", "a.txt\0b.txt"s, "a.txt", nullptr},
      {"installed name missing at the end", "x\0y\0a.txt\0"s, "A.TXT", nullptr},
      {"other names past a cut pair", "x\0y\0a.txt\0"s, "a.txt2", "a.txt2"},
      {"source name cut by the end", "x\0y\0a.txt"s, "A.TXT", nullptr},
      {"a name the cut source name begins", "x\0y\0a.t"s, "A.TXT", nullptr},
      {"a name the cut source name does not begin", "x\0y\0a.t"s, "b.txt", "b.txt"},
      {"a whole pair before the cut one wins", "a.txt\0b\0a.txt\0c"s, "a.txt", "b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GuardedBlock table(c.table);
    NameTable index;
    ASSERT_TRUE(index.Build(table.range()));
    EXPECT_STREQ(index.Translate(c.entryName), c.installed);
    EXPECT_STREQ(InstalledName(table.range(), c.entryName), c.installed);
  }
}

}  // namespace
}  // namespace brx::test
