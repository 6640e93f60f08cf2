// Section payloads read through the cursor, which never reads past a block:
// the readers of every section. (The encoders' bytes are held by brxpack's
// package plan tests; the name translation by the name table's tests.)
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "authoring/section_encoders.h"
#include "package/payload_cursor.h"
#include "package/section_readers.h"
#include "support/package_samples.h"
#include "support/target_fixture.h"

namespace brx::test {
namespace {

using Lines = std::vector<std::string>;

const std::vector<CommandInput> kCommands = {
    {kCommandWait | kCommandRelative, "tools\\conv.exe", "-q maps"},
    {0, "C:\\Windows\\notepad.exe", ""},
};
const std::vector<RegistryValueInput> kRegistryValues = {
    {1, 1, "Software\\Brindlex\\Atlas", 1, "Level", "0x1F"},
    {2, 2, "Software\\Brindlex\\Skipped", 2, "", "x"},
};

// Tests that :RegistryKeys gives its five items, and that a payload cut
// anywhere before its number's last byte counts as absent.
TEST(SectionReadersTest, RegistryKeysNeedAllFiveItems) {
  const std::string payload = Text(EncodeRegistryKeys({kTargetKey, "P", "N", "L", -2}));
  for (size_t length = 0; length <= payload.size(); ++length) {
    GuardedBlock block(payload.substr(0, length));
    RegistryKeysItems items;
    const bool complete = length >= payload.size() - 1;  // the extra zero is not needed
    ASSERT_EQ(ReadRegistryKeys(block.range(), &items), complete) << length;
    if (!complete) continue;
    EXPECT_EQ(std::string(items.keyPath) + items.folderValueName + items.programValueName +
                  items.levelValueName,
              std::string(kTargetKey) + "PNL");
    EXPECT_EQ(items.packageLevel, -2);
  }
}

std::string Message(const std::string& payload) {
  GuardedBlock block(payload);
  const StartupMessage message = ReadStartupMessage(block.range());
  return std::string(message.caption) + "|" + message.question + "|" +
         std::to_string(message.wholeTexts);
}
std::string FormatCommand(const CommandRecord& r) {
  return std::to_string(r.flags) + " " + r.program + " [" + r.arguments + "]";
}
std::string FormatRegistry(const RegistryRecord& r) {
  return std::to_string(r.operation) + " " + std::to_string(r.root) + " " + r.key + " " +
         std::to_string(r.type) + " " + r.valueName + "=" + r.data;
}
std::string FormatPair(const NamePair& p) {
  return std::string(p.source) + "->" + p.installed;
}
// Reads records with `read` until it says the end; each as one line, then
// "(end)" or "(cut)".
template <typename Record, typename Reader, typename Format>
Lines ReadAll(const std::string& payload, Reader read, Format format) {
  GuardedBlock block(payload);
  PayloadCursor cursor(block.range());
  Lines records;
  Record record;
  ReadStep step;
  while ((step = read(cursor, &record)) == ReadStep::kItem) records.push_back(format(record));
  records.push_back(step == ReadStep::kEnd ? "(end)" : "(cut)");
  return records;
}
Lines Commands(const std::string& payload) {
  return ReadAll<CommandRecord>(payload, ReadCommandRecord, FormatCommand);
}
Lines Registry(const std::string& payload) {
  return ReadAll<RegistryRecord>(payload, ReadRegistryRecord, FormatRegistry);
}
Lines Pairs(const std::string& payload) {
  return ReadAll<NamePair>(
      payload, [](PayloadCursor& cursor, NamePair* pair) { return ReadNamePair(cursor, pair); },
      FormatPair);
}
Lines Items(const std::string& payload) {
  return ReadAll<const char*>(payload, ReadListItem, [](const char* item) { return item; });
}

// Tests where each list ends: at its closing item whatever its flags; a
// caption or question the block's end cuts short is read up to that end and
// is not whole, and a missing one reads as empty. (Lists cut short are the
// next test's; the name table's end is the name table's tests'.)
TEST(SectionReadersTest, ListsEndAtTheirCloseOrTheBlocksEnd) {
  const std::tuple<const char*, Lines (*)(const std::string&), std::string, Lines> cases[] = {
      {"commands",
       Commands,
       Text(EncodeCommands(kCommands)),
       {"3 tools\\conv.exe [-q maps]", "0 C:\\Windows\\notepad.exe []", "(end)"}},
      {"closing record with flags",
       Commands,
       Raw("\1a.exe\0\0\3\0b.exe\0\0"),
       {"1 a.exe []", "(end)"}},
      {"registry table",
       Registry,
       Text(EncodeRegistryTable(kRegistryValues)),
       {"1 1 Software\\Brindlex\\Atlas 1 Level=0x1F", "2 2 Software\\Brindlex\\Skipped 2 =x",
        "(end)"}},
  };
  for (const auto& [what, read, payload, expected] : cases)
    EXPECT_EQ(read(payload), expected) << what;
  EXPECT_EQ(Message(Text(EncodeStartupMessage("Atlas", "Install?"))), "Atlas|Install?|2");
  EXPECT_EQ(Message(Raw("Atlas\0Install?")), "Atlas|Install?|1");
  EXPECT_EQ(Message("Atlas"), "Atlas||0");
  EXPECT_EQ(Message(""), "||0");
}

// Tests that every list cut at any byte gives exactly its complete items:
// records with their whole arguments or data, pairs with their whole
// installed names, folders and removals with their whole paths; and that it
// is told cut unless the block still holds the item that closes it.
TEST(SectionReadersTest, CutPayloadsGiveOnlyCompleteItems) {
  // The bytes behind the closing item: the extra zero, and behind the name
  // table's last pair, whose empty installed name closes it, the empty text too.
  for (const auto& [read, payload, behind] :
       {std::tuple{&Commands, Text(EncodeCommands(kCommands)), 1u},
        std::tuple{&Registry, Text(EncodeRegistryTable(kRegistryValues)), 1u},
        std::tuple{&Pairs, Text(EncodeNameTable({{"Docs\\Readme.txt", "help\\r.txt"}, {"a", ""}})),
                   2u},
        std::tuple{&Items, Text(EncodeTextList({"data", "data\\maps"})), 1u}}) {
    const Lines all = read(payload);
    for (size_t length = 0; length <= payload.size(); ++length) {
      Lines some = read(payload.substr(0, length));
      EXPECT_EQ(some.back(), length + behind >= payload.size() ? "(end)" : "(cut)") << length;
      some.pop_back();
      ASSERT_LE(some.size(), all.size()) << length;
      EXPECT_EQ(some, Lines(all.begin(), all.begin() + some.size())) << length;
    }
  }
}

}  // namespace
}  // namespace brx::test
