#include <gtest/gtest.h>

#include <vector>

#include "brxpack/authoring/authenticode.h"
#include "package/format.h"
#include "support/pe_samples.h"

namespace brxpack {
namespace {

brx::MemoryRange Range(const std::vector<uint8_t>& bytes) {
  return {bytes.data(), static_cast<uint32_t>(bytes.size())};
}

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

// Tests that a signature at the end is taken off: the table and nothing
// else cut away, the directory entry zeroed, the checksum made right.
TEST(AuthenticodeTest, RemovesATrailingSignature) {
  const std::vector<uint8_t> unsigned_ = brx::test::SamplePe32(0x203);
  std::vector<uint8_t> signed_ = unsigned_;
  brx::test::AppendCertificateTable(signed_, 1432);
  const Result<UnsignedStub> stub = RemoveSignature(Range(signed_));
  ASSERT_TRUE(stub.ok()) << stub.error();
  EXPECT_TRUE(stub->removed);
  EXPECT_EQ(stub->removedBytes, 1432u);
  ASSERT_EQ(stub->bytes.size(), 0x208u);  // the zero padding before the table stays
  std::vector<uint8_t> expected = unsigned_;
  expected.resize(0x208, 0);
  brx::WriteLe32(expected.data() + brx::test::kSampleChecksumOffset,
                 PeChecksum(expected.data(), expected.size(), brx::test::kSampleChecksumOffset));
  EXPECT_EQ(stub->bytes, expected);
}

// Tests that an unsigned stub passes unchanged and that what cannot be
// handled cleanly is refused with a reason.
TEST(AuthenticodeTest, LeavesUnsignedStubsAndRefusesTheRest) {
  const std::vector<uint8_t> plain = brx::test::SamplePe32(0x200);
  const Result<UnsignedStub> same = RemoveSignature(Range(plain));
  ASSERT_TRUE(same.ok());
  EXPECT_FALSE(same->removed);
  EXPECT_EQ(same->bytes, plain);

  std::vector<uint8_t> inside = plain;
  brx::test::AppendCertificateTable(inside, 64);
  inside.push_back(0);
  const Result<UnsignedStub> notAtEnd = RemoveSignature(Range(inside));
  ASSERT_FALSE(notAtEnd.ok());
  EXPECT_EQ(notAtEnd.error(),
            "its certificate table (64 bytes at 512) does not end the file, so it cannot be "
            "taken off");

  const std::vector<uint8_t> text = {'n', 'o', 't', ' ', 'a', ' ', 'P', 'E'};
  const Result<UnsignedStub> notPe = RemoveSignature(Range(text));
  ASSERT_FALSE(notPe.ok());
  EXPECT_EQ(notPe.error(), "not a Windows program (no PE header)");
}

}  // namespace
}  // namespace brxpack
