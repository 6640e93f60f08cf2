#include "package/reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "authoring/section_encoders.h"
#include "package/entry_lookup.h"
#include "package/section_names.h"
#include "support/fake_system.h"
#include "support/package_samples.h"
#include "support/pe_samples.h"
#include "support/target_fixture.h"

namespace brx::test {
namespace {

using Bytes8 = std::vector<uint8_t>;
constexpr auto kOwn = PackageSource::kOwnFile;
constexpr auto kFile = PackageSource::kPackageFile;

// Records of the sample package, in directory order.
enum SampleRecord : uint32_t { kKeysRecord, kTextRecord, kProgramRecord, kFoldersRecord };
const std::vector<std::string> kSampleNames = {kRegistryKeysSection, "readme.txt", "Atlas.exe",
                                               kFoldersSection};
const std::string kReadme = "The update brings new maps.";

Bytes8 SamplePackage(bool compressDirectory) {
  return WriteTestPackage(
      {{kRegistryKeysSection, EncodeRegistryKeys({kTargetKey}), EntryStorage::kCompressed,
        0x100000},
       FileEntry("readme.txt", kReadme, EntryStorage::kStored),
       FileEntry("Atlas.exe", std::string(3000, 'M') + "end"),
       Section(kFoldersSection, EncodeTextList({"Maps"}), EntryStorage::kStored)},
      compressDirectory);
}

// A program image (PE32, or PE32+ for the x64 stub) with the sample package
// and its trailer behind it.
Bytes8 SampleExecutable(bool plus = false) {
  return SelfApplying(SamplePe(0x200, plus), SamplePackage(false));
}

// The executable signed: `padding` bytes of `fill`, then a certificate table.
Bytes8 Signed(size_t padding = 0, uint8_t fill = 0, bool plus = false) {
  Bytes8 file = SampleExecutable(plus);
  file.insert(file.end(), padding, fill);
  const uint32_t table = static_cast<uint32_t>(file.size());
  file.resize(file.size() + 64, 0xC3);
  const uint32_t entry = plus ? kSampleSecurityEntryPlus : kSampleSecurityEntry;
  PutLe32(file, entry, table);
  PutLe32(file, entry + 4, 64);
  return file;
}

Bytes8 Patched(Bytes8 file, size_t at, uint8_t value) {
  file[at] = value;
  return file;
}
Bytes8 Cut(Bytes8 file, size_t size) {
  file.resize(size);
  return file;
}

uint32_t Field(const Bytes8& file, uint32_t record, size_t field) {
  return GetLe32(file, RecordAt(file, record) + field);
}
void SetField(Bytes8& file, uint32_t record, size_t field, uint32_t value) {
  PutLe32(file, RecordAt(file, record) + field, value);
}
void AddToHeader(Bytes8& file, size_t field, int32_t change) {
  PutLe32(file, field, GetLe32(file, field) + static_cast<uint32_t>(change));
}

struct MalformedCase {
  const char* what;
  PackageSource source;
  bool compressedDirectory;  // of the package file the damage starts from
  std::function<void(Bytes8&)> damage;
  PackageError expected;
};

// Tests that every malformed package is refused with its reason and leaves
// nothing behind, that what is not damage (the method's other bits, a
// signature behind the trailer, a file entry's stream) is read, and that a
// package read opens its directory and its entries' bytes where they are.
TEST(ParsePackageTest, RefusesMalformedPackages) {
  using E = PackageError;
  const std::vector<MalformedCase> cases = {
      // The trailer and the package's start.
      {"own file of seven bytes", kOwn, false, [](auto& f) { f.erase(f.begin(), f.end() - 7); },
       E::kNoTrailer},
      {"a byte behind the trailer", kOwn, false, [](auto& f) { f.push_back(0); }, E::kNoTrailer},
      {"a package read as an own file", kOwn, false, [](auto& f) { f = SamplePackage(true); },
       E::kNoTrailer},
      {"packageStart beyond the file", kOwn, false,
       [](auto& f) { PutLe32(f, f.size() - 8, 0xFFFFFFF0u); }, E::kBadStart},
      {"packageStart leaving 31 bytes for the header", kOwn, false,
       [](auto& f) { PutLe32(f, f.size() - 8, static_cast<uint32_t>(f.size() - 8 - 31)); },
       E::kBadStart},
      {"an own file read as a package file", kFile, false, [](auto& f) { f = SampleExecutable(); },
       E::kBadMagic},
      {"entry reaching into the trailer", kOwn, false,
       [](auto& f) {
         const uint32_t start = GetLe32(f, f.size() - 8);
         const size_t record = start + GetLe32(f, start + kDirectoryOffsetAt) + kTextRecord * 48;
         PutLe32(
             f, record + kEntrySizeAt,
             static_cast<uint32_t>(f.size() - 8 - start - GetLe32(f, record + kEntryOffsetAt) + 1));
       },
       E::kEntryOutOfRange},
      // A signature's certificate table behind the trailer, with zero padding.
      {"signed", kOwn, false, [](auto& f) { f = Signed(); }, E::kNone},
      {"signed, 7 bytes of padding", kOwn, false, [](auto& f) { f = Signed(7); }, E::kNone},
      {"signed, 8 bytes of padding", kOwn, false, [](auto& f) { f = Signed(8); }, E::kNoTrailer},
      {"signed, padding that is not zero", kOwn, false, [](auto& f) { f = Signed(3, 0x55); },
       E::kNoTrailer},
      {"signed, a byte behind the table", kOwn, false,
       [](auto& f) {
         f = Signed(0);
         f.push_back(0);
       },
       E::kNoTrailer},
      // The PE headers that lead to the certificate table, whole and consistent.
      {"signed, the optional header just holding the security entry", kOwn, false,
       [](auto& f) { f = Patched(Signed(), kSamplePeOffset + 20, 136); }, E::kNone},
      {"signed, the optional header too short for it", kOwn, false,
       [](auto& f) { f = Patched(Signed(), kSamplePeOffset + 20, 100); }, E::kNoTrailer},
      {"signed, no MZ", kOwn, false, [](auto& f) { f = Patched(Signed(), 0, 'X'); }, E::kNoTrailer},
      {"signed, PE offset beyond the file", kOwn, false,
       [](auto& f) { f = Patched(Signed(), 0x3F, 0xFF); }, E::kNoTrailer},
      {"signed, no PE signature", kOwn, false,
       [](auto& f) { f = Patched(Signed(), kSamplePeOffset + 1, 'X'); }, E::kNoTrailer},
      {"signed, no known optional header", kOwn, false,
       [](auto& f) { f = Patched(Signed(), kSampleOptionalHeader, 7); }, E::kNoTrailer},
      {"signed, too few data directories", kOwn, false,
       [](auto& f) { f = Patched(Signed(), kSampleOptionalHeader + 92, 4); }, E::kNoTrailer},
      {"signed, the section table cut", kOwn, false,
       [](auto& f) { f = Patched(Signed(), kSamplePeOffset + 7, 0xFF); }, E::kNoTrailer},
      // PE32+ (the x64 stub) keeps its data directories 16 bytes further on.
      {"signed PE32+", kOwn, false, [](auto& f) { f = Signed(5, 0, true); }, E::kNone},
      {"signed PE32+, its security entry read as PE32's", kOwn, false,
       [](auto& f) { f = Patched(Signed(0, 0, true), kSampleOptionalHeader + 1, 0x01); },
       E::kNoTrailer},
      {"signed PE32+, too few data directories", kOwn, false,
       [](auto& f) { f = Patched(Signed(0, 0, true), kSampleOptionalHeader + 108, 4); },
       E::kNoTrailer},
      {"PE image cut before its security entry", kOwn, false,
       [](auto& f) { f = Cut(SamplePe32(0x200), kSampleSecurityEntry + 4); }, E::kNoTrailer},
      {"PE image cut inside its DOS header", kOwn, false,
       [](auto& f) { f = Cut(SamplePe32(0x200), 0x20); }, E::kNoTrailer},
      {"signed, no trailer magic", kOwn, false,
       [](auto& f) {
         f = Signed(0);
         f[f.size() - 65] = 'Y';
       },
       E::kNoTrailer},
      // The header.
      {"package file shorter than a header", kFile, false, [](auto& f) { f.resize(31); },
       E::kBadStart},
      {"magic ending in 0x0D", kFile, false, [](auto& f) { f[15] = 0x0D; }, E::kBadMagic},
      {"magic in other letter case", kFile, false, [](auto& f) { f[0] = 'b'; }, E::kBadMagic},
      {"entryCount 0", kFile, false, [](auto& f) { PutLe32(f, kEntryCountAt, 0); },
       E::kEmptyDirectory},
      {"directoryOffset 0", kFile, false, [](auto& f) { PutLe32(f, kDirectoryOffsetAt, 0); },
       E::kNoDirectoryOffset},
      {"directory method 1", kFile, false, [](auto& f) { PutLe32(f, kDirectoryFlagsAt, 1); },
       E::kBadDirectoryMethod},
      {"directory method 1 under other bits", kFile, true,
       [](auto& f) { PutLe32(f, kDirectoryFlagsAt, 0xFFFFFFFDu); }, E::kBadDirectoryMethod},
      {"directory method 3 is stored", kFile, false,
       [](auto& f) { PutLe32(f, kDirectoryFlagsAt, 3); }, E::kNone},
      {"bits above the method", kFile, false,
       [](auto& f) { PutLe32(f, kDirectoryFlagsAt, 0xFFFFFFFCu); }, E::kNone},
      {"directory method 6 is compressed", kFile, true,
       [](auto& f) { PutLe32(f, kDirectoryFlagsAt, 6); }, E::kNone},
      // The directory's range and size.
      {"entryCount * 48 just past 32 bits", kFile, false,
       [](auto& f) { PutLe32(f, kEntryCountAt, 0x05555556u); }, E::kDirectoryTooLarge},
      {"stored directory cut by one byte", kFile, false, [](auto& f) { f.pop_back(); },
       E::kDirectoryOutOfRange},
      {"directoryOffset wrapping past 32 bits", kFile, false,
       [](auto& f) { PutLe32(f, kDirectoryOffsetAt, 0xFFFFFFF0u); }, E::kDirectoryOutOfRange},
      {"compressed directory one byte past the end", kFile, true,
       [](auto& f) { AddToHeader(f, kDirectoryStreamSizeAt, 1); }, E::kDirectoryOutOfRange},
      {"directory stream size of all bits", kFile, true,
       [](auto& f) { PutLe32(f, kDirectoryStreamSizeAt, 0xFFFFFFFFu); }, E::kDirectoryOutOfRange},
      {"compressed directory claiming a million records", kFile, true,
       [](auto& f) { PutLe32(f, kEntryCountAt, 1000000); }, E::kDirectoryTooLarge},
      // A compressed directory that does not inflate to exactly its records.
      {"directory stream with a damaged byte", kFile, true,
       [](auto& f) { f[GetLe32(f, kDirectoryOffsetAt) + 6] ^= 0x55; }, E::kDirectoryDamaged},
      {"directory stream holding one record more", kFile, true,
       [](auto& f) { AddToHeader(f, kEntryCountAt, -1); }, E::kDirectoryDamaged},
      {"directory stream holding one record fewer", kFile, true,
       [](auto& f) { AddToHeader(f, kEntryCountAt, 1); }, E::kDirectoryDamaged},
      {"stored records marked as compressed", kFile, false,
       [](auto& f) { PutLe32(f, kDirectoryFlagsAt, 2); }, E::kDirectoryDamaged},
      // Entries.
      {"file name of 32 bytes", kFile, false,
       [](auto& f) { std::memset(&f[RecordAt(f, kTextRecord)], 'n', 32); }, E::kNameNotTerminated},
      {"section name of 32 bytes", kFile, false,
       [](auto& f) { std::memset(&f[RecordAt(f, kFoldersRecord) + 1], 'F', 31); },
       E::kNameNotTerminated},
      {"stored entry one byte past the package", kFile, false,
       [](auto& f) {
         const uint32_t offset = Field(f, kTextRecord, kEntryOffsetAt);
         SetField(f, kTextRecord, kEntrySizeAt, static_cast<uint32_t>(f.size()) - offset + 1);
       },
       E::kEntryOutOfRange},
      {"entry range wrapping past 32 bits", kFile, false,
       [](auto& f) { SetField(f, kTextRecord, kEntryOffsetAt, 0xFFFFFFFFu); }, E::kEntryOutOfRange},
      {"compressed file's stream past the package", kFile, false,
       [](auto& f) { SetField(f, kProgramRecord, kEntryCompressedSizeAt, 0xFFFFFFFFu); },
       E::kEntryOutOfRange},
      // Sections are produced at open; a file entry when it is written.
      {"section claiming one byte more than its stream", kFile, false,
       [](auto& f) {
         SetField(f, kKeysRecord, kEntrySizeAt, Field(f, kKeysRecord, kEntrySizeAt) + 1);
       },
       E::kSectionDamaged},
      {"section claiming 4 GiB from a small stream", kFile, false,
       [](auto& f) { SetField(f, kKeysRecord, kEntrySizeAt, 0xFFFFFFFEu); }, E::kSectionDamaged},
      {"file stream with a damaged byte", kFile, false,
       [](auto& f) { f[Field(f, kProgramRecord, kEntryOffsetAt) + 4] ^= 0x55; }, E::kNone},
      {"file claiming 4 GiB from a small stream", kFile, false,
       [](auto& f) { SetField(f, kProgramRecord, kEntrySizeAt, 0xFFFFFFFEu); }, E::kNone},
  };
  for (const MalformedCase& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes8 file = c.source == kOwn ? SampleExecutable() : SamplePackage(c.compressedDirectory);
    c.damage(file);
    ParsedPackage parsed(file, c.source);
    ASSERT_EQ(parsed.error, c.expected);
    const Package& package = parsed.package;
    if (c.expected != PackageError::kNone) {
      EXPECT_EQ(package.directory, nullptr);
      EXPECT_EQ(package.bytes.data, nullptr);
      EXPECT_EQ(package.packageStart + package.packageEnd + package.entryCount(), 0u);
      continue;
    }
    std::vector<std::string> names;
    for (uint32_t i = 0; i < package.entryCount(); ++i) names.push_back(package.directory[i].name);
    EXPECT_EQ(names, kSampleNames);
    const MemoryRange readme = package.StoredBytes(package.directory[kTextRecord]);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(readme.data), readme.size), kReadme);
  }
}

// Tests that an opened package holds its file, mapping and view with no
// status text until it is released, once, or opened again; and that a file
// that is missing or empty gives its reason and holds nothing.
TEST(OpenPackageTest, HoldsTheFileUntilReleased) {
  FakeSystem system;
  system.AddFile(kPackageFile, Text(SamplePackage(true)));
  system.AddFile("C:\\Upd\\empty.brx", "");
  Package package;
  ASSERT_EQ(OpenPackage(system, kPackageFile, kFile, &package), PackageError::kNone);
  EXPECT_NE(package.view, nullptr);
  EXPECT_EQ(system.OpenHandleCount(), 3u);
  ASSERT_EQ(OpenPackage(system, kPackageFile, kFile, &package), PackageError::kNone);
  EXPECT_EQ(system.OpenHandleCount(), 3u);
  ReleasePackage(system, &package);
  EXPECT_EQ(system.OpenHandleCount(), 0u);
  const size_t calls = system.calls.size();
  ReleasePackage(system, &package);
  EXPECT_EQ(system.calls.size(), calls);
  EXPECT_TRUE(system.StatusTexts().empty());

  EXPECT_EQ(OpenPackage(system, "C:\\Upd\\missing.brx", kFile, &package),
            PackageError::kCannotOpen);
  EXPECT_EQ(OpenPackage(system, "C:\\Upd\\empty.brx", kFile, &package), PackageError::kCannotMap);
  EXPECT_EQ(system.OpenHandleCount(), 0u);
  EXPECT_EQ(package.directory, nullptr);
}

}  // namespace
}  // namespace brx::test
