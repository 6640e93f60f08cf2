// The publisher's compressors: every level gives a stream the installer's
// inflate accepts, whole or piece by piece, stored blocks where nothing
// shrinks, and no stream for a level it does not have.
#include "brxpack/package/zlib_compressor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <vector>

#include "package/inflate_stream.h"
#include "package/package_digest.h"

namespace brxpack {
namespace {

std::vector<uint8_t> TextBytes(size_t size) {
  const std::string line = "Brindlex Atlas: maps of the northern region, sheet ";
  std::vector<uint8_t> bytes;
  for (size_t i = 0; bytes.size() < size; ++i) {
    const std::string more = line + std::to_string(i * 7919 % 1000) + "\r\n";
    bytes.insert(bytes.end(), more.begin(), more.end());
  }
  bytes.resize(size);
  return bytes;
}

std::vector<uint8_t> RandomBytes(size_t size) {
  std::mt19937 generator(15);
  std::vector<uint8_t> bytes(size);
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(generator());
  return bytes;
}

bool InflatesTo(const std::vector<uint8_t>& stream, const std::vector<uint8_t>& content) {
  std::vector<uint8_t> out(content.size() + 1);
  return brx::InflateStream(stream.data(), static_cast<uint32_t>(stream.size()), out.data(),
                            static_cast<uint32_t>(content.size())) &&
         std::equal(content.begin(), content.end(), out.begin());
}

// Whether the deflate data behind the 2-byte zlib header is stored blocks
// only, ending with the final one right before the Adler-32.
bool StoredBlocksOnly(const std::vector<uint8_t>& stream) {
  size_t at = 2;
  for (;;) {
    if (at + 5 > stream.size()) return false;
    const uint8_t header = stream[at];
    if ((header & 0x06) != 0) return false;
    const size_t length = stream[at + 1] | stream[at + 2] << 8;
    at += 5 + length;
    if ((header & 0x01) != 0) return at + 4 == stream.size();
  }
}

// Tests that each level's streams, compressed or stored, inflate to their
// content; that what does not shrink is kept no larger than its stored form
// (level 0 and stored entries are stored blocks only); and that text
// shrinks more at 12 than at 1.
TEST(ZlibCompressorTest, EveryLevelGivesAStreamTheInstallerInflates) {
  const std::vector<std::vector<uint8_t>> contents = {
      {}, TextBytes(200000), RandomBytes(140000), RandomBytes(1)};
  const Compression compressions[] = {{0, Deflater::kLibdeflate},
                                      {1, Deflater::kLibdeflate},
                                      {7, Deflater::kLibdeflate},
                                      {12, Deflater::kLibdeflate},
                                      {9, Deflater::kZlib}};
  for (const Compression& compression : compressions) {
    ZlibCompressor compressor(compression);
    for (const std::vector<uint8_t>& content : contents) {
      const std::string label =
          std::to_string(compression.level) + " of " + std::to_string(content.size());
      const std::vector<uint8_t> stored = compressor.Store(content.data(), content.size());
      const std::vector<uint8_t> chosen =
          compressor.CompressOrStore(content.data(), content.size());
      EXPECT_TRUE(StoredBlocksOnly(stored)) << label;
      EXPECT_EQ(stored.size(), StoredStreamSize(content.size())) << label;
      EXPECT_TRUE(InflatesTo(stored, content)) << label;
      EXPECT_TRUE(InflatesTo(chosen, content)) << label;
      EXPECT_TRUE(InflatesTo(compressor.Compress(content.data(), content.size()), content))
          << label;
      EXPECT_LE(chosen.size(), stored.size()) << label;
      if (compression.level == 0) {
        EXPECT_EQ(chosen, stored) << label;
      }
    }
  }
  const std::vector<uint8_t>& text = contents[1];
  EXPECT_LT(ZlibCompressor({12}).Compress(text.data(), text.size()).size(),
            ZlibCompressor({1}).Compress(text.data(), text.size()).size());
}

// The content's stream made piece by piece, as brxpack lays it out, each
// piece made by the next of `compressors` in turn.
std::vector<uint8_t> PiecedStream(const std::vector<uint8_t>& content, Compression compression,
                                  bool storedOnly, std::vector<PieceCompressor*> compressors) {
  ZlibCompressor whole(compression);
  const std::array<uint8_t, 2> header = PiecedStreamHeader(compression, storedOnly);
  std::vector<uint8_t> stream(header.begin(), header.end());
  uint32_t adler = 1;
  size_t turn = 0;
  for (size_t at = 0; at < content.size(); at += kPieceSize) {
    const size_t size = std::min(kPieceSize, content.size() - at);
    DeflatedPiece piece;
    EXPECT_TRUE(compressors[turn++ % compressors.size()]->Deflate(
        whole, content.data() + at, size, at + size == content.size(), storedOnly, piece));
    stream.insert(stream.end(), piece.bytes.begin(), piece.bytes.end());
    adler = brx::CombineAdler32(adler, piece.contentAdler32, size);
  }
  const std::array<uint8_t, 4> trailer = PiecedStreamTrailer(adler);
  stream.insert(stream.end(), trailer.begin(), trailer.end());
  return stream;
}

// Tests that pieces made one by one make one stream the installer
// inflates to the content, at every level and with zlib, under the
// deflater's own header; the same bytes whichever compressor makes which
// piece; text shrinks within a little of the whole stream, and noise (but
// for a last piece of a few bytes), a stored-only entry or level 0 gives
// exactly Store's stream.
TEST(PieceCompressorTest, PiecesMakeOneStreamTheInstallerInflates) {
  const std::vector<uint8_t> noise = RandomBytes(kPieceSize + kPieceSize / 2);
  const std::vector<uint8_t> text = TextBytes(2 * kPieceSize + 777);
  const std::vector<uint8_t> mixed = [&] {
    std::vector<uint8_t> bytes = TextBytes(kPieceSize - 5000);
    bytes.insert(bytes.end(), noise.begin(), noise.end());
    return bytes;
  }();
  const Compression compressions[] = {{0, Deflater::kLibdeflate},
                                      {1, Deflater::kLibdeflate},
                                      {7, Deflater::kLibdeflate},
                                      {9, Deflater::kZlib}};
  for (const Compression& compression : compressions) {
    PieceCompressor first;
    PieceCompressor second;
    ZlibCompressor whole(compression);
    for (const std::vector<uint8_t>* each : {&text, &noise, &mixed}) {
      const std::vector<uint8_t>& content = *each;
      const std::string label =
          std::to_string(compression.level) + " of " + std::to_string(content.size());
      const std::vector<uint8_t> stream = PiecedStream(content, compression, false, {&first});
      EXPECT_TRUE(InflatesTo(stream, content)) << label;
      EXPECT_EQ(PiecedStream(content, compression, false, {&second, &first}), stream) << label;
      const std::vector<uint8_t> stored = whole.Store(content.data(), content.size());
      EXPECT_EQ(PiecedStream(content, compression, true, {&second}), stored) << label;
      const std::vector<uint8_t> compressed = whole.Compress(content.data(), content.size());
      EXPECT_TRUE(std::equal(stream.begin(), stream.begin() + 2, compressed.begin())) << label;
      if (compression.level == 0) {
        EXPECT_EQ(stream, stored) << label;
      } else if (each == &noise) {
        EXPECT_TRUE(StoredBlocksOnly(stream)) << label;
      } else if (each == &text) {
        EXPECT_LT(stream.size(), compressed.size() * 101 / 100) << label;
      } else {
        EXPECT_LT(stream.size(), stored.size()) << label;
      }
    }
  }
}

// Tests that a level the deflater does not have gives no stream at all,
// whole or piece by piece, rather than quietly stored blocks.
TEST(ZlibCompressorTest, RefusesLevelsItDoesNotHave) {
  const std::vector<uint8_t> text = TextBytes(1000);
  const Compression refused[] = {
      {-1, Deflater::kLibdeflate}, {13, Deflater::kLibdeflate}, {10, Deflater::kZlib}};
  for (const Compression& compression : refused) {
    ZlibCompressor compressor(compression);
    EXPECT_TRUE(compressor.Compress(text.data(), text.size()).empty()) << compression.level;
    EXPECT_TRUE(compressor.CompressOrStore(text.data(), text.size()).empty()) << compression.level;
    DeflatedPiece piece;
    EXPECT_FALSE(
        PieceCompressor().Deflate(compressor, text.data(), text.size(), false, false, piece))
        << compression.level;
  }
}

}  // namespace
}  // namespace brxpack
