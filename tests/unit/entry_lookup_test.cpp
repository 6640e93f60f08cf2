#include "package/entry_lookup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "package/section_names.h"
#include "support/package_samples.h"

namespace brx {
namespace {

using test::BuildPackage;
using test::Bytes;
using test::Entry;
using test::GetLe32;
using test::ParsedPackage;
using test::PutLe32;
using test::RecordAt;

std::vector<uint8_t> BlockBytes(const SectionBlock& block) {
  return std::vector<uint8_t>(block.data(), block.data() + block.size());
}

// Tests that names match whole, with only A to Z folded, and that the first of
// two equal names is the one found.
TEST(FindEntryTest, MatchesWholeNamesFoldingOnlyLatinLetters) {
  // 0xC0 0xC1 and 0xE0 0xE1 are the same two Cyrillic letters in upper and
  // lower case in Windows-1251.
  const std::vector<uint8_t> file = BuildPackage({
      Entry(kRegistryKeysSection, "keys"),
      Entry(kFoldersSection, "first"),
      Entry("\xC0\xC1.txt", "cyrillic"),
      Entry(":FOLDERS", "second"),
      Entry("Docs\\Readme.txt", "readme"),
  });
  ParsedPackage parsed(file);
  ASSERT_EQ(parsed.error, PackageError::kNone);
  struct Case {
    const char* wanted;
    uint32_t expected;
  };
  const Case cases[] = {
      {":RegistryKeys", 0},
      {":registrykeys", 0},
      {":REGISTRYKEYS", 0},
      {":Folders", 1},
      {":fOLDERS", 1},
      {":Folder", kEntryNotFound},
      {":Folders1", kEntryNotFound},
      {":Folders ", kEntryNotFound},
      {"\xC0\xC1.txt", 2},
      {"\xC0\xC1.TXT", 2},
      {"\xE0\xE1.txt", kEntryNotFound},
      {"\xE0\xC1.txt", kEntryNotFound},
      {"docs\\readme.TXT", 4},
      {"Docs/Readme.txt", kEntryNotFound},
      {"", kEntryNotFound},
      {":", kEntryNotFound},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.wanted);
    EXPECT_EQ(FindEntry(parsed.package, c.wanted), c.expected);
  }
  SectionBlock folders = LoadSection(parsed.package, kFoldersSection);
  ASSERT_TRUE(folders.loaded());
  EXPECT_EQ(BlockBytes(folders), Bytes("first"));
}

// Tests that nothing is found in a package that is not open.
TEST(FindEntryTest, FindsNothingWithoutADirectory) {
  const Package closed;
  EXPECT_EQ(FindEntry(closed, kRegistryKeysSection), kEntryNotFound);
  EXPECT_EQ(LoadSection(closed, kRegistryKeysSection).status(), SectionBlock::Status::kNotFound);
}

// Tests that a payload gives the same block stored and compressed, whatever
// other flag bits are set, and that the block is terminated in memory.
TEST(LoadSectionTest, StoredAndCompressedFormsGiveTheSameBlock) {
  std::vector<std::string> payloads = {
      std::string(),
      std::string("\0\0", 2),
      std::string("Atlas\0Install the update?\r\nClose the program first.\0\0", 52),
      std::string(100000, '\0'),
  };
  std::string noise;
  for (int i = 0; i < 4000; ++i) noise.push_back(static_cast<char>((i * 7919) >> 3));
  payloads.push_back(noise);
  const uint32_t flagSets[] = {0, 0x100000, 0xFFFEFFFFu};
  for (const std::string& payload : payloads) {
    for (uint32_t extraFlags : flagSets) {
      SCOPED_TRACE(testing::Message() << payload.size() << " bytes, flags " << extraFlags);
      const std::vector<uint8_t> file = BuildPackage({
          Entry(":Stored", payload, EntryStorage::kStored, extraFlags),
          Entry(":Compressed", payload, EntryStorage::kCompressed, extraFlags),
      });
      ParsedPackage parsed(file);
      ASSERT_EQ(parsed.error, PackageError::kNone);
      SectionBlock stored = LoadSection(parsed.package, ":Stored");
      SectionBlock compressed = LoadSection(parsed.package, ":Compressed");
      ASSERT_TRUE(stored.loaded());
      ASSERT_TRUE(compressed.loaded());
      EXPECT_EQ(BlockBytes(stored), Bytes(payload));
      EXPECT_EQ(BlockBytes(compressed), Bytes(payload));
      EXPECT_EQ(stored.data()[stored.size()], 0);
      EXPECT_EQ(compressed.data()[compressed.size()], 0);
    }
  }
}

// Tests that the flag alone decides the method: a stored entry whose bytes
// happen to be a zlib stream is copied as it is, and a two-byte section
// travels as a ten-byte stream.
TEST(LoadSectionTest, TheFlagAloneDecidesTheMethod) {
  const std::vector<uint8_t> stream = CompressZlib(reinterpret_cast<const uint8_t*>("\0\0"), 2, 9);
  ASSERT_EQ(stream.size(), 10u);
  const std::vector<uint8_t> file = BuildPackage({
      {":Stream", stream, EntryStorage::kStored, 0},
      {":Pair", {0, 0}, EntryStorage::kCompressed, 0x100000},
  });
  ParsedPackage parsed(file);
  ASSERT_EQ(parsed.error, PackageError::kNone);
  EXPECT_EQ(BlockBytes(LoadSection(parsed.package, ":Stream")), stream);
  EXPECT_EQ(parsed.package.directory[1].compressedSize, 10u);
  EXPECT_EQ(BlockBytes(LoadSection(parsed.package, ":Pair")), (std::vector<uint8_t>{0, 0}));
}

// Tests that a stored entry yields exactly its size from its offset, whatever
// its compressedSize says.
TEST(LoadSectionTest, StoredEntryIgnoresCompressedSize) {
  const uint32_t compressedSizes[] = {0, 1, 5, 1000, 0xFFFFFFFFu};
  for (uint32_t compressedSize : compressedSizes) {
    SCOPED_TRACE(compressedSize);
    std::vector<uint8_t> file = BuildPackage(
        {Entry(kFoldersSection, std::string("Maps\0Docs\0\0", 11), EntryStorage::kStored)},
        test::StoredDirectory());
    PutLe32(file, RecordAt(file, 0) + test::kEntryCompressedSizeAt, compressedSize);
    ParsedPackage parsed(file);
    ASSERT_EQ(parsed.error, PackageError::kNone);
    SectionBlock block = LoadSection(parsed.package, kFoldersSection);
    ASSERT_TRUE(block.loaded());
    EXPECT_EQ(BlockBytes(block), Bytes(std::string("Maps\0Docs\0\0", 11)));
  }
}

// Tests that extraction reports a file entry whose stream does not give
// exactly its size, without writing past the destination, and that
// LoadSection then gives no block.
TEST(ExtractEntryTest, ReportsAShortOrLongStream) {
  const std::string content(5000, 'x');
  struct Case {
    const char* what;
    int sizeChange;
    bool damageStream;
  };
  const Case cases[] = {
      {"as written", 0, false},
      {"one byte more claimed", +1, false},
      {"one byte less claimed", -1, false},
      {"damaged stream", 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> file =
        BuildPackage({Entry("Atlas.exe", content)}, test::StoredDirectory());
    const size_t record = RecordAt(file, 0);
    const uint32_t size = static_cast<uint32_t>(content.size() + c.sizeChange);
    PutLe32(file, record + test::kEntrySizeAt, size);
    if (c.damageStream) file[GetLe32(file, record + test::kEntryOffsetAt) + 5] ^= 0x40;
    ParsedPackage parsed(file);
    ASSERT_EQ(parsed.error, PackageError::kNone);

    const bool intact = c.sizeChange == 0 && !c.damageStream;
    std::vector<uint8_t> destination(size + 16, 0xEE);
    EXPECT_EQ(ExtractEntry(parsed.package, parsed.package.directory[0], destination.data()),
              intact);
    for (size_t i = size; i < destination.size(); ++i) ASSERT_EQ(destination[i], 0xEE) << i;
    EXPECT_EQ(LoadSection(parsed.package, "Atlas.exe").status(),
              intact ? SectionBlock::Status::kLoaded : SectionBlock::Status::kDamaged);
  }
}

// Tests that the empty table is one empty text in a 16-byte zero block, and
// that blocks hand their memory on when moved.
TEST(SectionBlockTest, EmptyTableAndMoves) {
  SectionBlock empty = SectionBlock::Empty();
  ASSERT_TRUE(empty.loaded());
  EXPECT_EQ(empty.size(), 1u);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(empty.data()[i], 0) << i;

  SectionBlock moved(std::move(empty));
  EXPECT_TRUE(moved.loaded());
  EXPECT_EQ(empty.data(), nullptr);
  EXPECT_EQ(empty.status(), SectionBlock::Status::kNotFound);

  SectionBlock other = SectionBlock::Empty();
  other = std::move(moved);  // the block `other` held is freed, not leaked
  EXPECT_TRUE(other.loaded());
  EXPECT_FALSE(moved.loaded());
  other.Release();
  EXPECT_FALSE(other.loaded());
  EXPECT_EQ(other.data(), nullptr);
}

}  // namespace
}  // namespace brx
