// Entries by name and their bytes: lookup, the section block, inflation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "package/entry_lookup.h"
#include "package/inflate_stream.h"
#include "package/section_names.h"
#include "support/package_samples.h"
#include "support/target_fixture.h"

namespace brx::test {
namespace {

std::vector<uint8_t> BlockBytes(const SectionBlock& block) {
  return {block.data(), block.data() + block.size()};
}

// Tests that names match whole with only A to Z folded, and that the first
// of two equal names is the one found.
TEST(FindEntryTest, MatchesWholeNamesFoldingOnlyLatinLetters) {
  // 0xC0 0xC1 and 0xE0 0xE1 are the same Cyrillic letters in upper and lower case.
  const std::vector<uint8_t> file = WriteTestPackage(
      {Section(kRegistryKeysSection, Bytes("keys")), Section(kFoldersSection, Bytes("first")),
       FileEntry("\xC0\xC1.txt", "cyrillic"), Section(":FOLDERS", Bytes("second")),
       FileEntry("Docs\\Readme.txt", "readme")});
  ParsedPackage parsed(file);
  ASSERT_EQ(parsed.error, PackageError::kNone);
  const std::pair<const char*, uint32_t> cases[] = {
      {":REGISTRYKEYS", 0},        {":fOLDERS", 1},
      {"\xC0\xC1.TXT", 2},         {"docs\\readme.TXT", 4},
      {":Folder", kEntryNotFound}, {"\xE0\xE1.txt", kEntryNotFound},
      {"", kEntryNotFound}};
  for (const auto& [wanted, expected] : cases)
    EXPECT_EQ(FindEntry(parsed.package, wanted), expected) << wanted;
  EXPECT_EQ(BlockBytes(LoadSection(parsed.package, kFoldersSection)), Bytes("first"));
}

// Tests that a payload gives the same block stored and compressed, whatever
// other flag bits are set, terminated in memory behind its size; that the
// flag alone decides the method; that a stored entry's compressedSize is
// not read; and that blocks are freed when replaced or not produced.
TEST(LoadSectionTest, StoredAndCompressedFormsGiveTheSameBlock) {
  std::string noise;
  for (int i = 0; i < 4000; ++i) noise.push_back(static_cast<char>((i * 7919) >> 3));
  const std::string payloads[] = {"", Raw("\0\0"), Raw("Atlas\0Install?\r\nClose it first.\0\0"),
                                  std::string(100000, '\0'), noise};
  for (const std::string& payload : payloads) {
    for (uint32_t flags : {0u, 0x100000u, 0xFFFEFFFFu}) {
      SCOPED_TRACE(testing::Message() << payload.size() << " bytes, flags " << flags);
      std::vector<uint8_t> file =
          WriteTestPackage({{":Stored", Bytes(payload), EntryStorage::kStored, flags},
                            {":Compressed", Bytes(payload), EntryStorage::kCompressed, flags}});
      PutLe32(file, RecordAt(file, 0) + kEntryCompressedSizeAt, flags);
      ParsedPackage parsed(file);
      ASSERT_EQ(parsed.error, PackageError::kNone);
      for (const char* name : {":Stored", ":Compressed"}) {
        SectionBlock block = LoadSection(parsed.package, name);
        ASSERT_TRUE(block.loaded()) << name;
        EXPECT_EQ(BlockBytes(block), Bytes(payload)) << name;
        EXPECT_EQ(block.data()[block.size()], 0) << name;
      }
    }
  }
  const std::vector<uint8_t> stream = ZlibStream(Bytes("ab"));
  const std::vector<uint8_t> file =
      WriteTestPackage({Section(":Stream", stream, EntryStorage::kStored)});
  ParsedPackage parsed(file);
  EXPECT_EQ(BlockBytes(LoadSection(parsed.package, ":Stream")), stream);

  // An entry that cannot be produced gives no block; a block moved onto a
  // loaded one frees what that one held.
  std::vector<uint8_t> damaged = WriteTestPackage({FileEntry("a.txt", "content")});
  PutLe32(damaged, RecordAt(damaged, 0) + kEntrySizeAt, 8);
  ParsedPackage broken(damaged);
  EXPECT_EQ(LoadSection(broken.package, "a.txt").status(), SectionBlock::Status::kDamaged);
  SectionBlock block = LoadSection(parsed.package, ":Stream");
  block = LoadSection(parsed.package, ":Stream");
  SectionBlock moved(std::move(block));
  EXPECT_TRUE(moved.loaded());
}

// Tests that only a stream that ends with exactly the destination's length
// counts as produced, and that the destination is never written past.
TEST(InflateStreamTest, TrueOnlyForACompleteStreamOfExactlyTheLength) {
  const std::string content = "Brindlex Atlas 2.4: new maps of the northern region.";
  const std::vector<uint8_t> good = ZlibStream(Bytes(content));
  std::vector<uint8_t> wrongAdler = good;
  wrongAdler.back() ^= 0x01;
  std::vector<uint8_t> withTail = good;
  withTail.push_back(0xAB);
  const std::vector<uint8_t> gzip = {0x1F, 0x8B, 0x08, 0, 0, 0, 0, 0, 0, 0x03};
  const uint32_t n = static_cast<uint32_t>(content.size());
  const uint32_t g = static_cast<uint32_t>(good.size());
  struct Case {
    const char* what;
    const std::vector<uint8_t>& source;
    uint32_t sourceLength;
    uint32_t destinationLength;
    bool expected;
  };
  const Case cases[] = {
      {"exact", good, g, n, true},
      {"destination one byte longer", good, g, n + 1, false},
      {"destination one byte shorter", good, g, n - 1, false},
      {"no room at all", good, g, 0, false},
      {"input cut before the check value", good, g - 1, n, false},
      {"no input", good, 0, n, false},
      {"wrong Adler-32", wrongAdler, g, n, false},
      {"bytes behind the stream's end", withTail, g + 1, n, true},
      {"gzip instead of zlib", gzip, 10, n, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> destination(c.destinationLength + 8, 0xEE);
    EXPECT_EQ(
        InflateStream(c.source.data(), c.sourceLength, destination.data(), c.destinationLength),
        c.expected);
    EXPECT_EQ(std::vector<uint8_t>(destination.begin() + c.destinationLength, destination.end()),
              std::vector<uint8_t>(8, 0xEE));
    if (c.expected) {
      EXPECT_EQ(std::string(destination.begin(), destination.begin() + n), content);
    }
  }
}

}  // namespace
}  // namespace brx::test
