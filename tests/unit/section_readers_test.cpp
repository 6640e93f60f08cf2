#include "package/section_readers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "authoring/section_encoders.h"
#include "support/package_samples.h"

namespace brx {
namespace {

using test::GuardedBlock;

std::string AsText(const std::vector<uint8_t>& bytes) {
  return {bytes.begin(), bytes.end()};
}

// A literal's bytes, its zeros included (not its terminator).
template <size_t N>
std::string Raw(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

RegistryKeysInput AtlasKeys(int32_t level) {
  RegistryKeysInput keys;
  keys.keyPath = "SOFTWARE\\Brindlex\\Atlas";
  keys.packageLevel = level;
  return keys;
}

const std::vector<CommandInput> kCommands = {
    {kCommandWait | kCommandRelative, "tools\\conv.exe", "-q maps"},
    {0, "C:\\Windows\\notepad.exe", ""},
};

const std::vector<RegistryValueInput> kRegistryValues = {
    {1, 1, "Software\\Brindlex\\Atlas", 1, "Level", "0x1F"},
    {2, 2, "Software\\Brindlex\\Skipped", 2, "", "x"},
    {1, 0, "Software\\Brindlex\\Atlas", 2, "Maps", "north"},
};

// Tests that every encoder writes the bytes of the section layouts, with the
// one extra zero byte the packages in use carry.
TEST(SectionEncodersTest, WriteTheDocumentedBytes) {
  struct Case {
    const char* what;
    std::vector<uint8_t> encoded;
    std::string expected;
  };
  const Case cases[] = {
      {"registry keys, level 1", EncodeRegistryKeys(AtlasKeys(1)),
       Raw("SOFTWARE\\Brindlex\\Atlas\0ProgramPath\0ProgramName\0PatchLevel\0"
           "\x01\0\0\0\0")},
      {"registry keys, level -1", EncodeRegistryKeys(AtlasKeys(-1)),
       Raw("SOFTWARE\\Brindlex\\Atlas\0ProgramPath\0ProgramName\0PatchLevel\0"
           "\xFF\xFF\xFF\xFF\0")},
      {"startup message", EncodeStartupMessage("Atlas", "Install?\r\nClose Atlas first."),
       Raw("Atlas\0Install?\r\nClose Atlas first.\0\0")},
      {"empty name table", EncodeNameTable({}), Raw("\0\0")},
      {"name table", EncodeNameTable({{"Docs\\Readme.txt", "help\\readme.txt"}}),
       Raw("Docs\\Readme.txt\0help\\readme.txt\0\0\0")},
      {"empty list", EncodeTextList({}), Raw("\0\0")},
      {"list", EncodeTextList({"data", "data\\maps"}), Raw("data\0data\\maps\0\0\0")},
      {"no commands", EncodeCommands({}), Raw("\0\0\0")},
      {"commands", EncodeCommands({kCommands[0]}), Raw("\x03tools\\conv.exe\0-q maps\0\0\0\0")},
      {"empty registry table", EncodeRegistryTable({}), Raw("\0\0\0\0\0")},
      {"registry table", EncodeRegistryTable({kRegistryValues[0]}),
       Raw("\x01\0\0\0\x01\0\0\0Software\\Brindlex\\Atlas\0\x01\0\0\0Level\0"
           "0x1F\0\0\0\0\0\0")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(AsText(c.encoded), c.expected);
  }
}

// Tests that :RegistryKeys gives its five items, and that a payload cut
// anywhere before its number's last byte counts as absent.
TEST(SectionReadersTest, RegistryKeysNeedAllFiveItems) {
  for (int32_t level : {1, -1}) {
    const std::string payload = AsText(EncodeRegistryKeys(AtlasKeys(level)));
    for (size_t length = 0; length <= payload.size(); ++length) {
      SCOPED_TRACE(testing::Message() << "level " << level << ", " << length << " bytes");
      GuardedBlock block(payload.substr(0, length));
      RegistryKeysItems items;
      const bool complete = length >= payload.size() - 1;  // the extra zero is not needed
      ASSERT_EQ(ReadRegistryKeys(block.range(), &items), complete);
      if (!complete) continue;
      EXPECT_STREQ(items.keyPath, "SOFTWARE\\Brindlex\\Atlas");
      EXPECT_STREQ(items.folderValueName, "ProgramPath");
      EXPECT_STREQ(items.programValueName, "ProgramName");
      EXPECT_STREQ(items.levelValueName, "PatchLevel");
      EXPECT_EQ(items.packageLevel, level);
    }
  }
}

// Tests that a missing caption or question reads as empty, never from
// beyond the payload.
TEST(SectionReadersTest, StartupMessageTextsMayBeMissing) {
  struct Case {
    std::string payload;
    const char* caption;
    const char* question;
  };
  const Case cases[] = {
      {AsText(EncodeStartupMessage("Atlas", "Install?")), "Atlas", "Install?"},
      {Raw("Atlas\0Install?"), "Atlas", "Install?"},
      {Raw("Atlas\0"), "Atlas", ""},
      {"Atlas", "Atlas", ""},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.payload);
    GuardedBlock block(c.payload);
    const StartupMessage message = ReadStartupMessage(block.range());
    EXPECT_STREQ(message.caption, c.caption);
    EXPECT_STREQ(message.question, c.question);
  }
}

// Reads records with `read` until it says the end; each as one line.
template <typename Record, typename Reader, typename Format>
std::vector<std::string> ReadAll(const std::string& payload, Reader read, Format format) {
  GuardedBlock block(payload);
  PayloadCursor cursor(block.range());
  std::vector<std::string> records;
  Record record;
  while (read(cursor, &record)) records.push_back(format(record));
  return records;
}

std::string FormatCommand(const CommandRecord& r) {
  return std::to_string(r.flags) + " " + r.program + " [" + r.arguments + "]";
}
std::vector<std::string> Commands(const std::string& payload) {
  return ReadAll<CommandRecord>(payload, ReadCommandRecord, FormatCommand);
}

std::string FormatRegistry(const RegistryRecord& r) {
  return std::to_string(r.operation) + " " + std::to_string(r.root) + " " + r.key + " " +
         std::to_string(r.type) + " " + r.valueName + "=" + r.data;
}
std::vector<std::string> RegistryRecords(const std::string& payload) {
  return ReadAll<RegistryRecord>(payload, ReadRegistryRecord, FormatRegistry);
}

std::string FormatPair(const NamePair& p) {
  return std::string(p.source) + "->" + p.installed;
}
std::vector<std::string> NamePairs(const std::string& payload) {
  return ReadAll<NamePair>(payload, ReadNamePair, FormatPair);
}

using Lines = std::vector<std::string>;

// Tests where each list ends: at its closing item, at the block's end, and
// never with an item that the block's end cut short.
TEST(SectionReadersTest, ListsEndAtTheirCloseOrTheBlocksEnd) {
  struct Case {
    const char* what;
    std::vector<std::string> (*read)(const std::string&);
    std::string payload;
    Lines expected;
  };
  const Case cases[] = {
      {"commands",
       Commands,
       AsText(EncodeCommands(kCommands)),
       {"3 tools\\conv.exe [-q maps]", "0 C:\\Windows\\notepad.exe []"}},
      {"no commands", Commands, Raw("\0\0"), {}},
      {"closing record with flags",
       Commands,
       Raw("\x01"
           "a.exe\0\0\x03\0b.exe\0\0"),
       {"1 a.exe []"}},
      {"command without closing record",
       Commands,
       Raw("\x01"
           "a.exe\0x\0"),
       {"1 a.exe [x]"}},
      {"command arguments cut short",
       Commands,
       Raw("\x01"
           "a.exe\0-q"),
       {}},
      {"command program cut short",
       Commands,
       Raw("\x01"
           "a.ex"),
       {}},
      {"registry table",
       RegistryRecords,
       AsText(EncodeRegistryTable(kRegistryValues)),
       {"1 1 Software\\Brindlex\\Atlas 1 Level=0x1F", "2 2 Software\\Brindlex\\Skipped 2 =x",
        "1 0 Software\\Brindlex\\Atlas 2 Maps=north"}},
      {"table of four zero bytes", RegistryRecords, std::string(4, '\0'), {}},
      {"registry data cut short",
       RegistryRecords,
       Raw("\x01\0\0\0\x01\0\0\0K\0\x02\0\0\0V\0dat"),
       {}},
      {"registry number cut short", RegistryRecords, Raw("\x01\0\0\0\x01\0"), {}},
      {"registry table without its end",
       RegistryRecords,
       Raw("\x01\0\0\0\x01\0\0\0K\0\x02\0\0\0V\0d\0"),
       {"1 1 K 2 V=d"}},
      {"name table",
       NamePairs,
       AsText(EncodeNameTable({{"Docs\\Readme.txt", "help\\readme.txt"}, {"a", "b"}})),
       {"Docs\\Readme.txt->help\\readme.txt", "a->b"}},
      {"empty name table", NamePairs, Raw("\0\0"), {}},
      {"source name as the last text", NamePairs, Raw("a\0b\0c\0"), {"a->b", "c->"}},
      {"empty installed name ends the table", NamePairs, Raw("a\0\0c\0d\0"), {"a->"}},
      {"installed name cut by the end", NamePairs, Raw("a\0bc"), {"a->bc"}},
      {"empty block", NamePairs, "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.read(c.payload), c.expected);
  }
}

// Tests that a command list or registry table cut at any byte gives exactly
// its complete records, each with its whole arguments or data.
TEST(SectionReadersTest, CutPayloadsGiveOnlyCompleteRecords) {
  struct Case {
    const char* what;
    std::vector<std::string> (*read)(const std::string&);
    std::string payload;
  };
  const Case cases[] = {
      {"commands", Commands, AsText(EncodeCommands(kCommands))},
      {"registry table", RegistryRecords, AsText(EncodeRegistryTable(kRegistryValues))},
  };
  for (const Case& c : cases) {
    const Lines all = c.read(c.payload);
    for (size_t length = 0; length < c.payload.size(); ++length) {
      SCOPED_TRACE(testing::Message() << c.what << ", " << length << " bytes");
      const Lines some = c.read(c.payload.substr(0, length));
      ASSERT_LE(some.size(), all.size());
      EXPECT_EQ(some, Lines(all.begin(), all.begin() + some.size()));
    }
  }
}

}  // namespace
}  // namespace brx
