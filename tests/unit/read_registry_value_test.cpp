#include "steps/read_registry_value.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "run/user_texts.h"
#include "support/fake_system.h"

namespace brx {
namespace {

constexpr char kKey[] = "SOFTWARE\\Brindlex\\Viewer";

std::string Fill(const char* format, const std::string& argument) {
  std::string text = format;
  return text.replace(text.find("%s"), 2, argument);
}

struct Read {
  bool read;
  std::string text;
  uint32_t size;
  uint32_t type;
};

Read ReadValue(FakeSystem& system, const char* key, const char* name, bool quiet) {
  RegistryValueBuffer value;
  std::memset(value.bytes, 0x55, sizeof value.bytes);  // stale bytes must not show
  uint32_t type = 99;
  const bool read =
      ReadRegistryValue(system, RegistryRoot::kLocalMachine, key, name, &value, &type, quiet);
  EXPECT_EQ(value.bytes[value.size], 0) << "no terminator behind the value";
  return {read, value.text(), value.size, type};
}

// Tests what is read for each kind of value, and that a text stored without
// its terminator is taken up to its length, up to the whole 512 bytes.
TEST(ReadRegistryValueTest, ReadsValuesUpToTheirLength) {
  const std::string full(512, 'f');
  struct Case {
    const char* name;
    uint32_t type;
    std::string bytes;
    Read expected;
  };
  const Case cases[] = {
      {"text", kRegSz, std::string("C:\\Viewer\0", 10), {true, "C:\\Viewer", 10, kRegSz}},
      {"unterminated text", kRegSz, "C:\\Viewer", {true, "C:\\Viewer", 9, kRegSz}},
      {"unterminated 512 bytes", kRegSz, full, {true, full, 512, kRegSz}},
      {"511 characters and terminator",
       2,
       std::string(511, 'g') + '\0',
       {true, std::string(511, 'g'), 512, 2}},
      {"dword", kRegDword, std::string("\x03\0\0\0", 4), {true, "\x03", 4, kRegDword}},
      {"empty", kRegSz, "", {true, "", 0, kRegSz}},
      {"513 bytes", kRegSz, full + "x", {false, "", 0, 0}},
  };
  for (const Case& c : cases) {
    FakeSystem system;
    system.PutRegistryValue(RegistryRoot::kLocalMachine, kKey, c.name, c.type, c.bytes);
    const Read got = ReadValue(system, kKey, c.name, true);
    EXPECT_EQ(got.read, c.expected.read) << c.name;
    EXPECT_EQ(got.text, c.expected.text) << c.name;
    EXPECT_EQ(got.size, c.expected.size) << c.name;
    EXPECT_EQ(got.type, c.expected.type) << c.name;
  }
}

// Tests the status texts of a failed read, their absence when quiet, and that
// every key opened for reading is closed again.
TEST(ReadRegistryValueTest, ReportsFailuresUnlessQuiet) {
  struct Case {
    const char* name;
    const char* key;
    const char* value;
    bool quiet;
    std::vector<std::string> statusTexts;
  };
  const Case cases[] = {
      {"missing key",
       "SOFTWARE\\Missing",
       "ProgramPath",
       false,
       {Fill(kRegistryKeyErrorFormat, "SOFTWARE\\Missing")}},
      {"missing value",
       kKey,
       "ProgramName",
       false,
       {Fill(kRegistryReadErrorFormat, "ProgramName")}},
      {"too long", kKey, "Long", false, {Fill(kRegistryReadErrorFormat, "Long")}},
      {"missing key, quiet", "SOFTWARE\\Missing", "ProgramPath", true, {}},
      {"missing value, quiet", kKey, "PatchLevel", true, {}},
  };
  for (const Case& c : cases) {
    FakeSystem system;
    system.PutRegistryValue(RegistryRoot::kLocalMachine, kKey, "Long", kRegSz,
                            std::string(600, 'l'));
    const Read got = ReadValue(system, c.key, c.value, c.quiet);
    EXPECT_FALSE(got.read) << c.name;
    EXPECT_EQ(got.text, "") << c.name;
    EXPECT_EQ(got.type, 0u) << c.name;
    EXPECT_EQ(system.statusTexts, c.statusTexts) << c.name;
    EXPECT_EQ(system.registryOpenAccesses, std::vector<uint32_t>{kKeyQueryValue}) << c.name;
    const bool opened = std::string(c.key) == kKey;
    EXPECT_EQ(std::count(system.calls.begin(), system.calls.end(), "CloseRegistryKey"),
              opened ? 1 : 0)
        << c.name;
  }
}

}  // namespace
}  // namespace brx
