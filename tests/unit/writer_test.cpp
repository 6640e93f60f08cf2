#include "authoring/writer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "package/entry_lookup.h"
#include "package/format.h"
#include "support/package_samples.h"

namespace brx {
namespace {

using test::Bytes;
using test::Entry;
using test::GetLe32;
using test::ParsedPackage;

const std::vector<PackageEntrySource> kEntries = {
    Entry(":StartupMsg", std::string("Atlas\0Install?\0", 15), EntryStorage::kCompressed, 0x100000),
    Entry("readme.txt", "New maps.", EntryStorage::kStored, 0x100000),
    Entry("Maps\\north.map", std::string(2048, 'N'), EntryStorage::kCompressed),
};

// Tests the layout: entries back to back from offset 32 in the order given,
// their flags and sizes, the directory behind the last of them, and the
// header describing it, for both directory forms.
TEST(WritePackageTest, LaysEntriesThenTheDirectory) {
  for (bool compressDirectory : {true, false}) {
    SCOPED_TRACE(compressDirectory);
    PackageWriterOptions options;
    options.compressDirectory = compressDirectory;
    options.extraDirectoryFlags = 0x40;
    std::string error;
    const std::vector<uint8_t> file = WritePackage(kEntries, options, &error);
    ASSERT_FALSE(file.empty()) << error;
    EXPECT_EQ(0, std::memcmp(file.data(), kHeaderMagic, sizeof kHeaderMagic));

    ParsedPackage parsed(file);
    ASSERT_EQ(parsed.error, PackageError::kNone);
    const PackageHeader& header = parsed.package.header;
    EXPECT_EQ(header.entryCount, kEntries.size());
    EXPECT_EQ(header.directoryFlags, compressDirectory ? 0x42u : 0x40u);
    uint32_t expectedOffset = kHeaderSize;
    for (size_t i = 0; i < kEntries.size(); ++i) {
      SCOPED_TRACE(kEntries[i].name);
      const DirectoryEntry& entry = parsed.package.directory[i];
      const bool compressed = kEntries[i].storage == EntryStorage::kCompressed;
      EXPECT_EQ(std::string(entry.name), kEntries[i].name);
      EXPECT_EQ(entry.offset, expectedOffset);
      EXPECT_EQ(entry.size, kEntries[i].content.size());
      EXPECT_EQ(entry.flags, (compressed ? kEntryCompressed : 0) | kEntries[i].extraFlags);
      if (compressed) {
        EXPECT_EQ(file[entry.offset], 0x78);
        EXPECT_EQ(file[entry.offset + 1], 0xDA);
      }
      std::vector<uint8_t> content(entry.size);
      ASSERT_TRUE(ExtractEntry(parsed.package, entry, content.data()));
      EXPECT_EQ(content, kEntries[i].content);
      expectedOffset += entry.StoredSize();
    }
    EXPECT_EQ(header.directoryOffset, expectedOffset);
    const uint32_t directoryBytes =
        compressDirectory ? header.directoryCompressedSize
                          : static_cast<uint32_t>(kEntries.size() * kDirectoryEntrySize);
    EXPECT_EQ(file.size(), expectedOffset + directoryBytes);
    if (compressDirectory) {
      EXPECT_EQ(file[expectedOffset], 0x78);
      EXPECT_EQ(file[expectedOffset + 1], 0xDA);
    }
  }
}

// Tests that the storage field alone sets the compressed bit: a stored entry
// whose extra flags carry it is still marked stored.
TEST(WritePackageTest, StorageDecidesTheCompressedBit) {
  const std::vector<uint8_t> file =
      test::BuildPackage({Entry("a.txt", "abc", EntryStorage::kStored, 0x110000)});
  ParsedPackage parsed(file);
  ASSERT_EQ(parsed.error, PackageError::kNone);
  EXPECT_EQ(parsed.package.directory[0].flags, 0x100000u);
  EXPECT_EQ(parsed.package.directory[0].compressedSize, 3u);
}

// Tests the writer's refusals: no entries, a name of 32 bytes, and a level
// zlib does not know; a 31-byte name is accepted.
TEST(WritePackageTest, RefusesWhatCannotBeWritten) {
  struct Case {
    const char* what;
    std::vector<PackageEntrySource> entries;
    int level;
    bool accepted;
  };
  const Case cases[] = {
      {"no entries", {}, 9, false},
      {"name of 32 bytes", {Entry(std::string(32, 'n'), "x")}, 9, false},
      {"name of 31 bytes", {Entry(std::string(31, 'n'), "x")}, 9, true},
      {"level 10", {Entry("a", "x")}, 10, false},
      {"default level", {Entry("a", "x")}, Z_DEFAULT_COMPRESSION, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PackageWriterOptions options;
    options.level = c.level;
    std::string error;
    const std::vector<uint8_t> file = WritePackage(c.entries, options, &error);
    EXPECT_EQ(!file.empty(), c.accepted);
    EXPECT_EQ(error.empty(), c.accepted);
  }
}

// Tests the self-applying layout: a 100-byte stub and a 50-byte package give
// 158 bytes that end in the stub's size and "BRDX".
TEST(AppendPackageToStubTest, AppendsPackageAndTrailer) {
  const std::vector<uint8_t> stub(100, 'S');
  const std::vector<uint8_t> package(50, 'P');
  const std::vector<uint8_t> file = AppendPackageToStub(stub, package);
  ASSERT_EQ(file.size(), 158u);
  EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 100), stub);
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 100, file.begin() + 150), package);
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 150, file.end()),
            (std::vector<uint8_t>{100, 0, 0, 0, 'B', 'R', 'D', 'X'}));
}

}  // namespace
}  // namespace brx
