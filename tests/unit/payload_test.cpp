// Section payloads read through the cursor, which never reads past a block:
// the readers of every section. (The encoders' bytes are held by brxpack's
// package plan tests; the name translation by the name table's tests.)
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "authoring/section_encoders.h"
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
const RegistryKeysInput kKeys = {kTargetKey, "Path", "Name", "Level", -2};
const std::vector<RegistryValueInput> kRegistryValues = {
    {1, 1, "Software\\Brindlex\\Atlas", 1, "Level", "0x1F"},
    {2, 2, "Software\\Brindlex\\Skipped", 2, "", "x"},
};

// A reader's items, one line each, then "(end)" or "(cut)" as it told.
template <typename Record, typename Read, typename Format>
Lines ReadAll(const std::string& payload, Read read, Format format) {
  GuardedBlock block(payload);
  PayloadCursor cursor(block.range());
  Lines lines;
  Record record;
  ReadStep step;
  while ((step = read(cursor, &record)) == ReadStep::kItem) lines.push_back(format(record));
  lines.push_back(step == ReadStep::kEnd ? "(end)" : "(cut)");
  return lines;
}
Lines CommandLines(const std::string& payload) {
  return ReadAll<CommandRecord>(payload, ReadCommandRecord, [](const CommandRecord& r) {
    return std::to_string(r.flags) + " " + r.program + " [" + r.arguments + "]";
  });
}
Lines RegistryLines(const std::string& payload) {
  return ReadAll<RegistryRecord>(payload, ReadRegistryRecord, [](const RegistryRecord& r) {
    return std::to_string(r.operation) + " " + std::to_string(r.root) + " " + r.key + " " +
           std::to_string(r.type) + " " + r.valueName + "=" + r.data;
  });
}
Lines PairLines(const std::string& payload) {
  const auto read = [](PayloadCursor& cursor, NamePair* p) { return ReadNamePair(cursor, p); };
  return ReadAll<NamePair>(
      payload, read, [](const NamePair& p) { return std::string(p.source) + "->" + p.installed; });
}
Lines ItemLines(const std::string& payload) {
  return ReadAll<const char*>(payload, ReadListItem, [](const char* item) { return item; });
}
// :RegistryKeys as a list: its whole texts, then the level and "(end)", or "(cut)".
Lines KeyLines(const std::string& payload) {
  GuardedBlock block(payload);
  RegistryKeysItems items;
  const bool whole = ReadRegistryKeys(block.range(), &items);
  Lines lines;
  for (const char* text :
       {items.keyPath, items.folderValueName, items.programValueName, items.levelValueName}) {
    if (text != nullptr) lines.push_back(text);
  }
  if (whole) lines.push_back(std::to_string(items.packageLevel));
  lines.push_back(whole ? "(end)" : "(cut)");
  return lines;
}
std::string Message(const std::string& payload) {
  GuardedBlock block(payload);
  const StartupMessage message = ReadStartupMessage(block.range());
  return std::string(message.caption) + "|" + message.question + "|" +
         std::to_string(message.wholeTexts);
}

// Tests what each reader gives: records and the keys item by item, a list
// ending at its closing item whatever its flags, a caption or question cut
// short by the block's end read up to it and not whole, a missing one empty.
// (Cut lists are the next test's; the name table's end is its own tests'.)
TEST(SectionReadersTest, ReadsEachItemAndTheClose) {
  const std::tuple<Lines (*)(const std::string&), std::string, Lines> cases[] = {
      {CommandLines,
       Text(EncodeCommands(kCommands)),
       {"3 tools\\conv.exe [-q maps]", "0 C:\\Windows\\notepad.exe []", "(end)"}},
      {CommandLines, Raw("\1a.exe\0\0\3\0b.exe\0\0"), {"1 a.exe []", "(end)"}},
      {RegistryLines,
       Text(EncodeRegistryTable(kRegistryValues)),
       {"1 1 Software\\Brindlex\\Atlas 1 Level=0x1F", "2 2 Software\\Brindlex\\Skipped 2 =x",
        "(end)"}},
      {PairLines, Text(EncodeNameTable({{"a", "b"}, {"c", "d"}})), {"a->b", "c->d", "(end)"}},
      {KeyLines, Text(EncodeRegistryKeys(kKeys)), {kTargetKey, "Path", "Name", "Level", "-2", "(end)"}},
  };
  for (const auto& [read, payload, expected] : cases) EXPECT_EQ(read(payload), expected);
  EXPECT_EQ(Message(Text(EncodeStartupMessage("Atlas", "Install?"))), "Atlas|Install?|2");
  EXPECT_EQ(Message(Raw("Atlas\0Install?")), "Atlas|Install?|1");
  EXPECT_EQ(Message("Atlas"), "Atlas||0");
  EXPECT_EQ(Message(""), "||0");
}

// Tests that every payload cut at any byte gives exactly its complete items:
// records with their whole arguments or data, pairs with their whole
// installed names, folders, removals and the keys' texts whole; and that it
// is told cut unless the block still holds what closes it.
TEST(SectionReadersTest, CutPayloadsGiveOnlyCompleteItems) {
  // The bytes behind the close: the extra zero, and behind the name table's
  // last pair, whose empty installed name closes it, the empty text too.
  for (const auto& [read, payload, behind] :
       {std::tuple{&CommandLines, Text(EncodeCommands(kCommands)), 1u},
        std::tuple{&RegistryLines, Text(EncodeRegistryTable(kRegistryValues)), 1u},
        std::tuple{&PairLines, Text(EncodeNameTable({{"Docs\\Readme.txt", "r.txt"}, {"a", ""}})), 2u},
        std::tuple{&ItemLines, Text(EncodeTextList({"data", "data\\maps"})), 1u},
        std::tuple{&KeyLines, Text(EncodeRegistryKeys(kKeys)), 1u}}) {
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
