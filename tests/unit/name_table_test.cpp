#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "package/section_names.h"
#include "steps/phases.h"
#include "support/steps_fixture.h"

namespace brx {
namespace {

// A payload with its embedded zero bytes (the literal's own terminator dropped).
template <size_t N>
std::vector<uint8_t> Raw(const char (&text)[N]) {
  return Payload(std::string(text, N - 1));
}

struct TranslationCase {
  const char* what;
  std::vector<uint8_t> table;  // empty: no :XlatNamesTable entry
  const char* entryName;
  const char* installedName;
};

// Tests that the first pair whose source name matches (A to Z folded, every
// other byte exact) gives the installed name, and that anything else leaves
// the entry's name as it is.
TEST(NameTableTest, TranslatesByFirstMatchingSourceName) {
  const TranslationCase cases[] = {
      {"table of 00 00", Raw("\0\0"), "docs\\readme.txt", "docs\\readme.txt"},
      {"no table", {}, "docs\\readme.txt", "docs\\readme.txt"},
      {"latin case folded", Raw("Docs\\Readme.txt\0help\\readme.txt\0\0"), "docs\\readme.txt",
       "help\\readme.txt"},
      {"first of two pairs", Raw("a.txt\0first.txt\0A.TXT\0second.txt\0\0"), "a.txt", "first.txt"},
      {"later pair", Raw("a.txt\0b.txt\0c.txt\0d.txt\0\0"), "C.txt", "d.txt"},
      {"cyrillic case not folded", Raw("\xC4\xEE\xEA.txt\0x.txt\0\0"), "\xE4\xEE\xEA.txt",
       "\xE4\xEE\xEA.txt"},
      {"cyrillic exact", Raw("\xC4\xEE\xEA.txt\0x.txt\0\0"), "\xC4\xEE\xEA.txt", "x.txt"},
      {"installed names never matched", Raw("a.txt\0b.txt\0\0"), "b.txt", "b.txt"},
      {"prefix is no match", Raw("a.tx\0b.txt\0\0"), "a.txt", "a.txt"},
      {"source without installed name", Raw("a.txt\0\0"), "a.txt", ""},
      {"table ends at the lone source", Raw("a.txt\0\0c.txt\0d.txt\0\0"), "c.txt", "c.txt"},
      {"last text cut by the block's end", Raw("a.txt\0b.txt"), "a.txt", "b.txt"},
  };
  for (const TranslationCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<PackageEntrySource> entries = {FileEntry("docs\\readme.txt", "x")};
    if (!c.table.empty()) entries.push_back(SectionEntry(kNameTableSection, c.table));
    StepsRun steps(entries);
    LoadNameTable(steps.run);
    ASSERT_TRUE(steps.run.nameTable.loaded());
    EXPECT_STREQ(TranslateName(steps.run, c.entryName), c.installedName);
  }
}

}  // namespace
}  // namespace brx
