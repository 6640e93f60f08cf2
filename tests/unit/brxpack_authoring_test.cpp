#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "brxpack/stub/authenticode.h"
#include "brxpack/contents/display_text.h"
#include "brxpack/manifest/registry_terms.h"
#include "package/format.h"
#include "support/package_samples.h"
#include "support/pe_samples.h"

namespace brxpack {
namespace {

using brx::test::Range;

// Tests that the PE checksum matches hand-computed cases: 16-bit words with
// the carry folded back, the checksum field left out, the length added.
TEST(AuthenticodeTest, ComputesThePeChecksum) {
  struct Case {
    std::vector<uint8_t> bytes;
    uint32_t checksumOffset;
    uint32_t checksum;
  };
  const Case cases[] = {
      {{0x01, 0x02, 0x03, 0x04, 0x05}, 100, 0x0201 + 0x0403 + 0x0005 + 5},
      {{0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x00}, 100, 0x0001 + 6},
      {{0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x11, 0x22}, 2, 0xBBAA + 0x2211 + 8},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PeChecksum(c.bytes.data(), c.bytes.size(), c.checksumOffset), c.checksum);
  }
}

// Tests that a signature ending the file of a PE32 or PE32+ stub is taken
// off (the table and nothing else cut away, the directory entry zeroed, the
// checksum made right), that an unsigned stub passes unchanged, and that
// what cannot be handled cleanly is refused with a reason.
TEST(AuthenticodeTest, RemovesATrailingSignature) {
  for (const bool plus : {false, true}) {
    SCOPED_TRACE(plus ? "PE32+" : "PE32");
    const std::vector<uint8_t> plain = brx::test::SamplePe(0x203, plus);
    std::vector<uint8_t> signed_ = plain;
    brx::test::AppendCertificateTable(signed_, 1432);
    const Result<UnsignedStub> stub = RemoveSignature(Range(signed_));
    ASSERT_TRUE(stub.ok()) << stub.error();
    EXPECT_TRUE(stub->removed);
    EXPECT_EQ(stub->removedBytes, 1432u);
    std::vector<uint8_t> expected = plain;
    expected.resize(0x208, 0);  // the zero padding before the table stays
    brx::WriteLe32(expected.data() + brx::test::kSampleChecksumOffset,
                   PeChecksum(expected.data(), expected.size(), brx::test::kSampleChecksumOffset));
    EXPECT_EQ(stub->bytes, expected);

    const Result<UnsignedStub> same = RemoveSignature(Range(plain));
    ASSERT_TRUE(same.ok());
    EXPECT_FALSE(same->removed);
    EXPECT_EQ(same->bytes, plain);

    signed_.push_back(0);
    const Result<UnsignedStub> notAtEnd = RemoveSignature(Range(signed_));
    EXPECT_EQ(notAtEnd.ok() ? "" : notAtEnd.error(),
              "its certificate table (1432 bytes at 520) does not end the file, so it cannot be "
              "taken off");
  }
  const std::vector<uint8_t> text = {'n', 'o', 't', ' ', 'a', ' ', 'P', 'E'};
  const Result<UnsignedStub> notPe = RemoveSignature(Range(text));
  EXPECT_EQ(notPe.ok() ? "" : notPe.error(), "not a Windows program (no PE header)");
}

// Tests that only number texts the installer reads without surprise pass:
// its own parser would turn "12abc" into 12 and "0x" into 0 silently.
TEST(RegistryTermsTest, AcceptsOnlyCleanNumbers) {
  const std::pair<std::string, bool> cases[] = {
      {"0", true},           {"42", true},           {"-5", true},     {"2147483647", true},
      {"-2147483648", true}, {"0x1F", true},         {"-0x10", true},  {"0XdeadBEEF", true},
      {"2147483648", false}, {"0x123456789", false}, {"12abc", false}, {"0x", false},
      {"+7", false},         {" 7", false},          {"", false},      {"-", false},
      {"0x1G", false},
  };
  for (const auto& [text, clean] : cases) EXPECT_EQ(IsCleanNumberText(text), clean) << text;
}

// Tests that section bytes written as hexadecimal text read back, and that
// malformed text is refused.
TEST(HexTextTest, ReadsWhatItWrites) {
  const std::vector<uint8_t> bytes = {0x00, 0x3A, 0xFF, 0x10, 0x7E};
  EXPECT_EQ(HexFromBytes(bytes, 2), "00 3a\nff 10\n7e\n");
  EXPECT_EQ(BytesFromHex(HexFromBytes(bytes, 2)), bytes);
  EXPECT_EQ(BytesFromHex(" 0A\r\n0b "), (std::vector<uint8_t>{0x0A, 0x0B}));
  for (const char* malformed : {"0", "0 a", "zz"}) EXPECT_FALSE(BytesFromHex(malformed));
}

}  // namespace
}  // namespace brxpack
