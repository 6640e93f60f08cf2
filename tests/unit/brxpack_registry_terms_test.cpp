#include <gtest/gtest.h>

#include <string>

#include "brxpack/authoring/hex_text.h"
#include "brxpack/authoring/registry_terms.h"

namespace brxpack {
namespace {

// Tests that only number texts the installer reads without surprise pass:
// its own parser would turn "12abc" into 12 and "0x" into 0 silently.
TEST(RegistryTermsTest, AcceptsOnlyCleanNumbers) {
  struct Case {
    std::string text;
    bool clean;
  };
  const Case cases[] = {
      {"0", true},           {"42", true},           {"-5", true},     {"2147483647", true},
      {"-2147483648", true}, {"0x1F", true},         {"-0x10", true},  {"0XdeadBEEF", true},
      {"2147483648", false}, {"0x123456789", false}, {"12abc", false}, {"0x", false},
      {"+7", false},         {" 7", false},          {"", false},      {"-", false},
      {"0x1G", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(IsCleanNumberText(c.text), c.clean);
  }
}

// Tests that the words for roots, types and operations map both ways.
TEST(RegistryTermsTest, NamesAndCodesMatch) {
  for (const char* root : {"HKCU", "HKLM"}) EXPECT_EQ(RootName(*RootCode(root)), root);
  EXPECT_EQ(RootCode("HKEY_CURRENT_USER"), 1u);
  EXPECT_EQ(RootCode("HKEY_LOCAL_MACHINE"), 2u);
  EXPECT_FALSE(RootCode("HKCR"));
  EXPECT_FALSE(RootName(7));
  for (const char* type : {"dword", "string", "key-only"}) {
    EXPECT_EQ(TypeName(*TypeCode(type)), type);
  }
  EXPECT_EQ(TypeCode("key-only"), 0u);
  EXPECT_FALSE(TypeName(3));
  EXPECT_EQ(OperationCode("write"), 1u);
  EXPECT_EQ(OperationCode("skip"), 2u);
  EXPECT_FALSE(OperationName(0));
}

// Tests that section bytes written as hexadecimal text read back, and that
// malformed text is refused.
TEST(HexTextTest, ReadsWhatItWrites) {
  const std::vector<uint8_t> bytes = {0x00, 0x3A, 0xFF, 0x10, 0x7E};
  EXPECT_EQ(HexFromBytes(bytes, 2), "00 3a\nff 10\n7e\n");
  EXPECT_EQ(BytesFromHex(HexFromBytes(bytes, 2)), bytes);
  EXPECT_EQ(BytesFromHex(" 0A\r\n0b "), (std::vector<uint8_t>{0x0A, 0x0B}));
  EXPECT_FALSE(BytesFromHex("0"));
  EXPECT_FALSE(BytesFromHex("0 a"));
  EXPECT_FALSE(BytesFromHex("zz"));
}

}  // namespace
}  // namespace brxpack
