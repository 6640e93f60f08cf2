#include "steps/registry_table.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "authoring/section_encoders.h"
#include "package/section_names.h"
#include "package/section_readers.h"
#include "steps/phases.h"
#include "support/steps_fixture.h"

namespace brx {
namespace {

constexpr RegistryRoot kHkcu = RegistryRoot::kCurrentUser;
constexpr RegistryRoot kHklm = RegistryRoot::kLocalMachine;

std::string Dword(uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
  return bytes;
}
std::string Text(const std::string& text) {
  return text + std::string(1, '\0');
}

std::vector<uint8_t> Concat(std::vector<uint8_t> first, const std::vector<uint8_t>& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

struct Expected {
  RegistryRoot root;
  std::string key;
  std::string name;
  std::optional<FakeSystem::RegistryValue> value;  // nullopt: the key only
};

struct TableCase {
  const char* what;
  std::vector<uint8_t> table;
  std::vector<Expected> present;
  std::vector<Expected> absent;  // keys (value nullopt) or values that must not exist
};

FakeSystem::RegistryValue Value(uint32_t type, const std::string& bytes) {
  return {type, bytes};
}

// Tests roots, operations, types and cut records: what each table leaves
// in the registry.
TEST(RegistryTableTest, TableScenarios) {
  std::vector<uint8_t> cutRecord = EncodeRegistryTable(
      {{1, 1, "Software\\A", 2, "v", "one"}, {1, 1, "Software\\B", 2, "w", "two"}});
  cutRecord.resize(cutRecord.size() - 6);  // into the second record's data
  const TableCase cases[] = {
      {"roots: only 1 is the current user",
       EncodeRegistryTable({{1, 0, "Software\\R0", 2, "v", "0"},
                            {1, 1, "Software\\R1", 2, "v", "1"},
                            {1, 2, "Software\\R2", 2, "v", "2"},
                            {1, 7, "Software\\R7", 2, "v", "7"}}),
       {{kHklm, "Software\\R0", "v", Value(kRegSz, Text("0"))},
        {kHkcu, "Software\\R1", "v", Value(kRegSz, Text("1"))},
        {kHklm, "Software\\R2", "v", Value(kRegSz, Text("2"))},
        {kHklm, "Software\\R7", "v", Value(kRegSz, Text("7"))}},
       {{kHkcu, "Software\\R0", "", std::nullopt}, {kHklm, "Software\\R1", "", std::nullopt}}},
      {"operation 2 stepped over, later records written",
       EncodeRegistryTable(
           {{2, 1, "Software\\Skip", 2, "v", "x"}, {1, 1, "Software\\After", 1, "n", "0x1F"}}),
       {{kHkcu, "Software\\After", "n", Value(kRegDword, Dword(31))}},
       {{kHkcu, "Software\\Skip", "", std::nullopt}}},
      {"operation 0 ends the table",
       Concat(Payload(std::string(4, '\0')),
              EncodeRegistryTable({{1, 1, "Software\\Never", 0, "", ""}})),
       {},
       {{kHkcu, "Software\\Never", "", std::nullopt}}},
      {"type 0 creates the key only",
       EncodeRegistryTable({{1, 1, "Software\\New\\Deep", 0, "v", "data"}}),
       {{kHkcu, "Software\\New\\Deep", "", std::nullopt}},
       {{kHkcu, "Software\\New\\Deep", "v", Value(0, "")}}},
      {"unknown type as 0",
       EncodeRegistryTable({{1, 1, "Software\\T9", 9, "v", "data"}}),
       {{kHkcu, "Software\\T9", "", std::nullopt}},
       {{kHkcu, "Software\\T9", "v", Value(0, "")}}},
      {"type 2 empty text stores its terminator",
       EncodeRegistryTable({{1, 1, "Software\\E", 2, "v", ""}}),
       {{kHkcu, "Software\\E", "v", Value(kRegSz, Text(""))}},
       {}},
      {"type 1 number, unnamed default value",
       EncodeRegistryTable({{1, 2, "Software\\N", 1, "", "-5"}}),
       {{kHklm, "Software\\N", "", Value(kRegDword, Dword(0xFFFFFFFBu))}},
       {}},
      {"record cut by the block's end",
       cutRecord,
       {{kHkcu, "Software\\A", "v", Value(kRegSz, Text("one"))}},
       {{kHkcu, "Software\\B", "", std::nullopt}}},
      {"four zero bytes", Payload(std::string(4, '\0')), {}, {}},
  };
  for (const TableCase& c : cases) {
    SCOPED_TRACE(c.what);
    StepsRun steps({SectionEntry(kRegistryTableSection, c.table)});
    steps.Prepare();
    ApplyRegistryTable(steps.system, steps.run);
    for (const Expected& e : c.present) {
      EXPECT_TRUE(steps.system.HasRegistryKey(e.root, e.key)) << e.key;
      if (!e.value) continue;
      const auto value = steps.system.GetRegistryValue(e.root, e.key, e.name);
      ASSERT_TRUE(value.has_value()) << e.key << " " << e.name;
      EXPECT_EQ(value->type, e.value->type) << e.key;
      EXPECT_EQ(value->bytes, e.value->bytes) << e.key;
    }
    for (const Expected& e : c.absent) {
      if (e.value) {
        EXPECT_FALSE(steps.system.GetRegistryValue(e.root, e.key, e.name).has_value()) << e.key;
      } else {
        EXPECT_FALSE(steps.system.HasRegistryKey(e.root, e.key)) << e.key;
      }
    }
    EXPECT_EQ(steps.run.updateFailed, 0u);
    EXPECT_TRUE(steps.system.statusTexts.empty());
  }
}

// Tests the calls for one value, and that a key that cannot be created
// passes the record over without a write or a close.
TEST(RegistryTableTest, WriteRegistryValueCalls) {
  FakeSystem system;
  system.DenyRegistryWrites(kHklm, "Software\\Locked");
  WriteRegistryValue(system, kHklm, "Software\\Locked\\Sub", kRegistryTypeText, "v", "x");
  WriteRegistryValue(system, kHkcu, "Software\\Open", kRegistryTypeNumber, "n", "16 ");
  EXPECT_EQ(system.calls, (std::vector<std::string>{"CreateRegistryKey hklm\\software\\locked\\sub",
                                                    "CreateRegistryKey hkcu\\software\\open",
                                                    "SetRegistryValue n", "CloseRegistryKey"}));
  EXPECT_EQ(system.GetRegistryValue(kHkcu, "Software\\Open", "n")->bytes, Dword(16));
}

}  // namespace
}  // namespace brx
