#include "package/inflate_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "authoring/writer.h"

namespace brx {
namespace {

std::vector<uint8_t> Stream(const std::string& content) {
  return CompressZlib(reinterpret_cast<const uint8_t*>(content.data()), content.size(), 9);
}

// Tests that only a stream that ends with exactly the destination's length
// counts as produced, and that the destination is never overrun.
TEST(InflateStreamTest, TrueOnlyForACompleteStreamOfExactlyTheLength) {
  const std::string content = "Brindlex Atlas 2.4: new maps of the northern region.";
  const std::vector<uint8_t> good = Stream(content);
  ASSERT_GE(good.size(), 2u);
  EXPECT_EQ(good[0], 0x78);
  EXPECT_EQ(good[1], 0xDA);

  std::vector<uint8_t> wrongAdler = good;
  wrongAdler.back() ^= 0x01;
  std::vector<uint8_t> withTail = good;
  withTail.push_back(0xAB);
  const std::vector<uint8_t> gzipHeader = {0x1F, 0x8B, 0x08, 0, 0, 0, 0, 0, 0, 0x03};
  struct Case {
    const char* what;
    std::vector<uint8_t> source;
    uint32_t sourceLength;
    uint32_t destinationLength;
    bool expected;
  };
  const uint32_t n = static_cast<uint32_t>(content.size());
  const uint32_t g = static_cast<uint32_t>(good.size());
  const Case cases[] = {
      {"exact", good, g, n, true},
      {"destination one byte longer", good, g, n + 1, false},
      {"destination one byte shorter", good, g, n - 1, false},
      {"no room at all", good, g, 0, false},
      {"input cut before the check value", good, g - 1, n, false},
      {"input cut in half", good, g / 2, n, false},
      {"no input", good, 0, n, false},
      {"wrong Adler-32", wrongAdler, g, n, false},
      {"bytes behind the stream's end", withTail, g + 1, n, true},
      {"gzip instead of zlib", gzipHeader, 10, n, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> destination(c.destinationLength + 8, 0xEE);
    EXPECT_EQ(
        InflateStream(c.source.data(), c.sourceLength, destination.data(), c.destinationLength),
        c.expected);
    for (size_t i = c.destinationLength; i < destination.size(); ++i) {
      ASSERT_EQ(destination[i], 0xEE) << i;
    }
    if (c.expected) {
      EXPECT_EQ(std::string(destination.begin(), destination.begin() + n), content);
    }
  }
}

// Tests that an empty content inflates into no room, even with no
// destination pointer, which zlib itself refuses.
TEST(InflateStreamTest, EmptyContentNeedsNoDestination) {
  const std::vector<uint8_t> empty = Stream("");
  uint8_t spare = 0xEE;
  EXPECT_TRUE(InflateStream(empty.data(), static_cast<uint32_t>(empty.size()), nullptr, 0));
  EXPECT_TRUE(InflateStream(empty.data(), static_cast<uint32_t>(empty.size()), &spare, 0));
  EXPECT_EQ(spare, 0xEE);
  EXPECT_FALSE(InflateStream(empty.data(), static_cast<uint32_t>(empty.size()), nullptr, 1));
}

}  // namespace
}  // namespace brx
