#include "package/reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "authoring/section_encoders.h"
#include "package/section_names.h"
#include "support/fake_system.h"
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

constexpr uint32_t kStubSize = 64;

// Records of the sample package, in directory order.
enum SampleRecord : uint32_t { kKeysRecord, kTextRecord, kProgramRecord, kFoldersRecord };

std::vector<uint8_t> SamplePackage(bool compressDirectory) {
  PackageWriterOptions options;
  options.compressDirectory = compressDirectory;
  RegistryKeysInput keys;
  keys.keyPath = "SOFTWARE\\Brindlex\\Atlas";
  return BuildPackage(
      {
          {kRegistryKeysSection, EncodeRegistryKeys(keys), EntryStorage::kCompressed, 0x100000},
          Entry("readme.txt", "The update brings new maps.", EntryStorage::kStored),
          Entry("Atlas.exe", std::string(3000, 'M') + "end"),
          {kFoldersSection, EncodeTextList({"Maps"}), EntryStorage::kStored, 0},
      },
      options);
}

std::vector<uint8_t> SampleExecutable() {
  std::vector<uint8_t> stub(kStubSize, 0x90);
  stub[0] = 'M';
  stub[1] = 'Z';
  return AppendPackageToStub(stub, SamplePackage(false));
}

// Record `index` of the package behind the stub of an executable.
size_t ExecutableRecordAt(const std::vector<uint8_t>& file, uint32_t index) {
  const uint32_t start = GetLe32(file, file.size() - kTrailerSize);
  return start + GetLe32(file, start + test::kDirectoryOffsetAt) + index * kDirectoryEntrySize;
}

void ExpectEmpty(const Package& package) {
  EXPECT_EQ(package.directory, nullptr);
  EXPECT_EQ(package.bytes.data, nullptr);
  EXPECT_EQ(package.bytes.size, 0u);
  EXPECT_EQ(package.packageStart, 0u);
  EXPECT_EQ(package.packageEnd, 0u);
  EXPECT_EQ(package.entryCount(), 0u);
}

struct MalformedCase {
  const char* what;
  PackageSource source;
  bool compressedDirectory;  // of the package file the damage starts from
  std::function<void(std::vector<uint8_t>&)> damage;
  PackageError expected;
};

void PutRecordField(std::vector<uint8_t>& file, uint32_t record, size_t field, uint32_t value) {
  PutLe32(file, RecordAt(file, record) + field, value);
}
uint32_t RecordField(const std::vector<uint8_t>& file, uint32_t record, size_t field) {
  return GetLe32(file, RecordAt(file, record) + field);
}
uint32_t DirectoryStreamEnd(const std::vector<uint8_t>& file) {
  return GetLe32(file, test::kDirectoryOffsetAt) + GetLe32(file, test::kDirectoryCompressedSizeAt);
}

// Tests that every malformed package is refused with its reason and leaves
// nothing behind, and that the damage a file entry may carry is not refused.
TEST(ParsePackageTest, RefusesMalformedPackages) {
  using E = PackageError;
  constexpr auto kOwn = PackageSource::kOwnFile;
  constexpr auto kFile = PackageSource::kPackageFile;
  const std::vector<MalformedCase> cases = {
      // The trailer.
      {"empty own file", kOwn, false, [](auto& f) { f.clear(); }, E::kNoTrailer},
      {"own file of seven bytes", kOwn, false, [](auto& f) { f.erase(f.begin(), f.end() - 7); },
       E::kNoTrailer},
      {"trailer magic BRDx", kOwn, false, [](auto& f) { f.back() = 'x'; }, E::kNoTrailer},
      {"a byte behind the trailer", kOwn, false, [](auto& f) { f.push_back(0); }, E::kNoTrailer},
      {"packageStart beyond the file", kOwn, false,
       [](auto& f) { PutLe32(f, f.size() - 8, 0xFFFFFFF0u); }, E::kBadStart},
      {"packageStart at the trailer", kOwn, false,
       [](auto& f) { PutLe32(f, f.size() - 8, static_cast<uint32_t>(f.size() - 8)); },
       E::kBadStart},
      {"packageStart leaving 31 bytes for the header", kOwn, false,
       [](auto& f) { PutLe32(f, f.size() - 8, static_cast<uint32_t>(f.size() - 8 - 31)); },
       E::kBadStart},
      {"a trailer and nothing else", kOwn, false,
       [](auto& f) { f = {0, 0, 0, 0, 'B', 'R', 'D', 'X'}; }, E::kBadStart},
      {"entry reaching into the trailer", kOwn, false,
       [](auto& f) {
         const size_t record = ExecutableRecordAt(f, kTextRecord);
         const uint32_t start = GetLe32(f, f.size() - 8);
         const uint32_t offset = GetLe32(f, record + test::kEntryOffsetAt);
         PutLe32(f, record + test::kEntrySizeAt,
                 static_cast<uint32_t>(f.size() - 8 - start - offset + 1));
       },
       E::kEntryOutOfRange},
      // The header.
      {"package file shorter than a header", kFile, false, [](auto& f) { f.resize(31); },
       E::kBadStart},
      {"magic ending in 0x0D", kFile, false, [](auto& f) { f[15] = 0x0D; }, E::kBadMagic},
      {"magic in other letter case", kFile, false, [](auto& f) { f[0] = 'b'; }, E::kBadMagic},
      {"entryCount 0", kFile, false, [](auto& f) { PutLe32(f, test::kEntryCountAt, 0); },
       E::kEmptyDirectory},
      {"directoryOffset 0", kFile, false, [](auto& f) { PutLe32(f, test::kDirectoryOffsetAt, 0); },
       E::kNoDirectoryOffset},
      {"directory method 1", kFile, false, [](auto& f) { PutLe32(f, test::kDirectoryFlagsAt, 1); },
       E::kBadDirectoryMethod},
      {"directory method 1 under other bits", kFile, true,
       [](auto& f) { PutLe32(f, test::kDirectoryFlagsAt, 0xFFFFFFFDu); }, E::kBadDirectoryMethod},
      // The directory's range and size.
      {"entryCount * 48 just past 32 bits", kFile, false,
       [](auto& f) { PutLe32(f, test::kEntryCountAt, 0x05555556u); }, E::kDirectoryTooLarge},
      {"entryCount of all bits", kFile, true,
       [](auto& f) { PutLe32(f, test::kEntryCountAt, 0xFFFFFFFFu); }, E::kDirectoryTooLarge},
      {"stored directory one record longer than the package", kFile, false,
       [](auto& f) { PutLe32(f, test::kEntryCountAt, GetLe32(f, test::kEntryCountAt) + 1); },
       E::kDirectoryOutOfRange},
      {"stored directory cut by one byte", kFile, false, [](auto& f) { f.pop_back(); },
       E::kDirectoryOutOfRange},
      {"directoryOffset at the end", kFile, false,
       [](auto& f) { PutLe32(f, test::kDirectoryOffsetAt, static_cast<uint32_t>(f.size())); },
       E::kDirectoryOutOfRange},
      {"directoryOffset wrapping past 32 bits", kFile, false,
       [](auto& f) { PutLe32(f, test::kDirectoryOffsetAt, 0xFFFFFFF0u); }, E::kDirectoryOutOfRange},
      {"compressed directory one byte past the end", kFile, true,
       [](auto& f) {
         PutLe32(f, test::kDirectoryCompressedSizeAt,
                 GetLe32(f, test::kDirectoryCompressedSizeAt) + 1);
       },
       E::kDirectoryOutOfRange},
      {"directoryCompressedSize of all bits", kFile, true,
       [](auto& f) { PutLe32(f, test::kDirectoryCompressedSizeAt, 0xFFFFFFFFu); },
       E::kDirectoryOutOfRange},
      {"compressed directory claiming a million records", kFile, true,
       [](auto& f) { PutLe32(f, test::kEntryCountAt, 1000000); }, E::kDirectoryTooLarge},
      // A compressed directory that does not inflate completely.
      {"directory stream cut short", kFile, true,
       [](auto& f) {
         PutLe32(f, test::kDirectoryCompressedSizeAt,
                 GetLe32(f, test::kDirectoryCompressedSizeAt) - 1);
       },
       E::kDirectoryDamaged},
      {"directory stream with a wrong Adler-32", kFile, true,
       [](auto& f) { f[DirectoryStreamEnd(f) - 1] ^= 0x01; }, E::kDirectoryDamaged},
      {"directory stream with a damaged byte", kFile, true,
       [](auto& f) { f[GetLe32(f, test::kDirectoryOffsetAt) + 6] ^= 0x55; }, E::kDirectoryDamaged},
      {"directory stream holding one record more", kFile, true,
       [](auto& f) { PutLe32(f, test::kEntryCountAt, GetLe32(f, test::kEntryCountAt) - 1); },
       E::kDirectoryDamaged},
      {"directory stream holding one record fewer", kFile, true,
       [](auto& f) { PutLe32(f, test::kEntryCountAt, GetLe32(f, test::kEntryCountAt) + 1); },
       E::kDirectoryDamaged},
      {"stored records marked as compressed", kFile, false,
       [](auto& f) { PutLe32(f, test::kDirectoryFlagsAt, 2); }, E::kDirectoryDamaged},
      // Entries.
      {"file name of 32 bytes", kFile, false,
       [](auto& f) { std::memset(&f[RecordAt(f, kTextRecord)], 'n', 32); }, E::kNameNotTerminated},
      {"section name of 32 bytes", kFile, false,
       [](auto& f) { std::memset(&f[RecordAt(f, kFoldersRecord) + 1], 'F', 31); },
       E::kNameNotTerminated},
      {"stored entry one byte past the package", kFile, false,
       [](auto& f) {
         const uint32_t offset = RecordField(f, kTextRecord, test::kEntryOffsetAt);
         PutRecordField(f, kTextRecord, test::kEntrySizeAt,
                        static_cast<uint32_t>(f.size()) - offset + 1);
       },
       E::kEntryOutOfRange},
      {"entry offset past the package", kFile, false,
       [](auto& f) {
         PutRecordField(f, kFoldersRecord, test::kEntryOffsetAt, static_cast<uint32_t>(f.size()));
       },
       E::kEntryOutOfRange},
      {"entry range wrapping past 32 bits", kFile, false,
       [](auto& f) { PutRecordField(f, kTextRecord, test::kEntryOffsetAt, 0xFFFFFFFFu); },
       E::kEntryOutOfRange},
      {"compressed file's stream past the package", kFile, false,
       [](auto& f) {
         PutRecordField(f, kProgramRecord, test::kEntryCompressedSizeAt, 0xFFFFFFFFu);
       },
       E::kEntryOutOfRange},
      // Sections are produced at open.
      {"section stream with a damaged byte", kFile, false,
       [](auto& f) { f[RecordField(f, kKeysRecord, test::kEntryOffsetAt) + 4] ^= 0x55; },
       E::kSectionDamaged},
      {"section claiming one byte more than its stream", kFile, false,
       [](auto& f) {
         PutRecordField(f, kKeysRecord, test::kEntrySizeAt,
                        RecordField(f, kKeysRecord, test::kEntrySizeAt) + 1);
       },
       E::kSectionDamaged},
      {"section claiming one byte less than its stream", kFile, false,
       [](auto& f) {
         PutRecordField(f, kKeysRecord, test::kEntrySizeAt,
                        RecordField(f, kKeysRecord, test::kEntrySizeAt) - 1);
       },
       E::kSectionDamaged},
      {"section claiming 4 GiB from a small stream", kFile, false,
       [](auto& f) { PutRecordField(f, kKeysRecord, test::kEntrySizeAt, 0xFFFFFFFEu); },
       E::kSectionDamaged},
      // A file entry is checked when it is written, not here.
      {"file stream with a damaged byte", kFile, false,
       [](auto& f) { f[RecordField(f, kProgramRecord, test::kEntryOffsetAt) + 4] ^= 0x55; },
       E::kNone},
      {"file claiming 4 GiB from a small stream", kFile, false,
       [](auto& f) { PutRecordField(f, kProgramRecord, test::kEntrySizeAt, 0xFFFFFFFEu); },
       E::kNone},
  };
  for (const MalformedCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> file = c.source == PackageSource::kOwnFile
                                    ? SampleExecutable()
                                    : SamplePackage(c.compressedDirectory);
    c.damage(file);
    ParsedPackage parsed(file, c.source);
    EXPECT_EQ(parsed.error, c.expected);
    if (c.expected != PackageError::kNone) {
      ExpectEmpty(parsed.package);
    }
  }
}

std::vector<std::string> EntryNames(const Package& package) {
  std::vector<std::string> names;
  for (uint32_t i = 0; i < package.entryCount(); ++i) names.push_back(package.directory[i].name);
  return names;
}

const std::vector<std::string> kSampleNames = {kRegistryKeysSection, "readme.txt", "Atlas.exe",
                                               kFoldersSection};

// Tests that only the low two bits of directoryFlags choose the method: 0
// and 3 stored, 1 refused, 2 compressed, and 6 like 2.
TEST(ParsePackageTest, DirectoryMethodIsTheLowTwoBits) {
  struct Case {
    uint32_t flags;
    bool compressedDirectory;
    PackageError expected;
  };
  const Case cases[] = {
      {0, false, PackageError::kNone},
      {3, false, PackageError::kNone},
      {0xFFFFFFFCu, false, PackageError::kNone},
      {1, false, PackageError::kBadDirectoryMethod},
      {1, true, PackageError::kBadDirectoryMethod},
      {2, true, PackageError::kNone},
      {6, true, PackageError::kNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    std::vector<uint8_t> file = SamplePackage(c.compressedDirectory);
    PutLe32(file, test::kDirectoryFlagsAt, c.flags);
    ParsedPackage parsed(file);
    ASSERT_EQ(parsed.error, c.expected);
    if (c.expected == PackageError::kNone) {
      EXPECT_EQ(EntryNames(parsed.package), kSampleNames);
    }
  }
}

// Tests the self-applying layout: the package is found through the trailer,
// and neither form is read as the other.
TEST(ParsePackageTest, FindsThePackageBehindTheProgramImage) {
  const std::vector<uint8_t> package = SamplePackage(true);
  const std::vector<uint8_t> executable =
      AppendPackageToStub(std::vector<uint8_t>(kStubSize, 'S'), package);

  ParsedPackage own(executable, PackageSource::kOwnFile);
  ASSERT_EQ(own.error, PackageError::kNone);
  EXPECT_EQ(own.package.packageStart, kStubSize);
  EXPECT_EQ(own.package.packageEnd, executable.size() - kTrailerSize);
  EXPECT_EQ(EntryNames(own.package), kSampleNames);

  EXPECT_EQ(ParsedPackage(executable, PackageSource::kPackageFile).error, PackageError::kBadMagic);
  EXPECT_EQ(ParsedPackage(package, PackageSource::kOwnFile).error, PackageError::kNoTrailer);
}

// The example of a shipped update: a 120,832-byte program image, a package of
// five entries whose 136-byte directory stream ends where the trailer begins.
constexpr uint32_t kExampleImageSize = 120832;
constexpr uint32_t kExampleFileSize = 139234;
constexpr uint32_t kExampleDirectoryOffset = 18258;
constexpr uint32_t kExampleDirectoryStream = 136;

// Lays out the example's entries; the size of the program entry is the free
// choice that makes the directory stream come to exactly 136 bytes.
std::vector<uint8_t> ExamplePackage() {
  RegistryKeysInput keys;
  keys.keyPath = "SOFTWARE\\Brindlex\\Atlas";
  const std::vector<uint8_t> keysPayload = EncodeRegistryKeys(keys);
  const std::vector<uint8_t> messagePayload =
      EncodeStartupMessage("Atlas", "Install the update?\r\nThe program must be closed.");
  const uint32_t dataSize = kExampleDirectoryOffset - kHeaderSize;
  const uint32_t readmeSize = 577;
  const uint32_t spare = dataSize - static_cast<uint32_t>(keysPayload.size()) -
                         static_cast<uint32_t>(messagePayload.size()) - readmeSize;
  PackageWriterOptions options;
  for (uint32_t programSize = 1; programSize < spare; ++programSize) {
    std::vector<PackageEntrySource> entries = {
        {kRegistryKeysSection, keysPayload, EntryStorage::kStored, 0x100000},
        {kStartupMsgSection, messagePayload, EntryStorage::kStored, 0x100000},
        {"Bin\\Brindlex32.exe", std::vector<uint8_t>(programSize, 'P'), EntryStorage::kStored,
         0x100000},
        {"Data\\Maps\\north.map", std::vector<uint8_t>(spare - programSize, 'D'),
         EntryStorage::kStored, 0x100000},
        {"Docs\\whatsnew.txt", std::vector<uint8_t>(readmeSize, 'R'), EntryStorage::kStored,
         0x100000},
    };
    std::vector<uint8_t> package = BuildPackage(entries, options);
    if (GetLe32(package, test::kDirectoryCompressedSizeAt) == kExampleDirectoryStream) {
      return package;
    }
  }
  return {};
}

// Tests the example of a shipped update, read from the executable through its
// trailer and from the package file alone: both give the same directory.
TEST(ParsePackageTest, ReadsTheShippedExampleBothWays) {
  const std::vector<uint8_t> package = ExamplePackage();
  ASSERT_EQ(package.size(), kExampleFileSize - kExampleImageSize - kTrailerSize);
  std::vector<uint8_t> image(kExampleImageSize, 0);
  image[0] = 'M';
  image[1] = 'Z';
  const std::vector<uint8_t> executable = AppendPackageToStub(image, package);
  ASSERT_EQ(executable.size(), kExampleFileSize);
  EXPECT_EQ(GetLe32(executable, kExampleFileSize - 8), kExampleImageSize);

  ParsedPackage own(executable, PackageSource::kOwnFile);
  ASSERT_EQ(own.error, PackageError::kNone);
  EXPECT_EQ(own.package.packageStart, kExampleImageSize);
  EXPECT_EQ(own.package.header.entryCount, 5u);
  EXPECT_EQ(own.package.header.directoryOffset, kExampleDirectoryOffset);
  EXPECT_EQ(own.package.header.directoryFlags, 2u);
  EXPECT_EQ(own.package.header.directoryCompressedSize, kExampleDirectoryStream);
  EXPECT_EQ(kExampleImageSize + kExampleDirectoryOffset + kExampleDirectoryStream,
            own.package.packageEnd);

  ParsedPackage alone(package, PackageSource::kPackageFile);
  ASSERT_EQ(alone.error, PackageError::kNone);
  EXPECT_EQ(alone.package.packageStart, 0u);
  ASSERT_EQ(alone.package.entryCount(), 5u);
  EXPECT_EQ(
      0, std::memcmp(own.package.directory, alone.package.directory, 5 * sizeof(DirectoryEntry)));

  std::vector<uint8_t> appended = executable;
  appended.push_back('\n');
  EXPECT_EQ(ParsedPackage(appended, PackageSource::kOwnFile).error, PackageError::kNoTrailer);
}

constexpr char kPackagePath[] = "C:\\Updates\\atlas.pkg";
constexpr char kExecutablePath[] = "C:\\Updates\\PATCH.EXE";

std::string AsText(const std::vector<uint8_t>& bytes) {
  return {bytes.begin(), bytes.end()};
}

// Tests that an opened package holds its file, mapping and view with no
// status text, and that the release lets all of them go, once.
TEST(OpenPackageTest, HoldsTheFileUntilReleased) {
  struct Case {
    const char* path;
    PackageSource source;
    uint32_t packageStart;
  };
  const Case cases[] = {
      {kPackagePath, PackageSource::kPackageFile, 0},
      {kExecutablePath, PackageSource::kOwnFile, kStubSize},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    FakeSystem system;
    system.AddFile(kPackagePath, AsText(SamplePackage(true)));
    system.AddFile(kExecutablePath, AsText(SampleExecutable()));
    Package package;
    ASSERT_EQ(OpenPackage(system, c.path, c.source, &package), PackageError::kNone);
    EXPECT_EQ(package.packageStart, c.packageStart);
    EXPECT_EQ(EntryNames(package), kSampleNames);
    EXPECT_NE(package.file, kNoHandle);
    EXPECT_NE(package.mapping, kNoHandle);
    EXPECT_NE(package.view, nullptr);
    EXPECT_TRUE(system.statusTexts.empty());

    ReleasePackage(system, &package);
    EXPECT_EQ(system.OpenHandleCount(), 0u);
    EXPECT_EQ(package.file, kNoHandle);
    EXPECT_EQ(package.view, nullptr);
    ExpectEmpty(package);
    const size_t callsAfterRelease = system.calls.size();
    ReleasePackage(system, &package);
    EXPECT_EQ(system.calls.size(), callsAfterRelease);
  }
}

// Tests that every way of failing to open gives its reason and leaves no
// handle, view or directory behind.
TEST(OpenPackageTest, FailsWithItsReason) {
  struct Case {
    const char* what;
    bool fileExists;
    std::string content;  // of the package file
    const char* failingCall;
    PackageError expected;
  };
  std::vector<uint8_t> badMagic = SamplePackage(true);
  badMagic[15] = 0x0D;
  const Case cases[] = {
      {"missing file", false, "", nullptr, PackageError::kCannotOpen},
      {"empty file", true, "", nullptr, PackageError::kCannotMap},
      {"file that cannot be opened", true, AsText(SamplePackage(true)), "OpenFileForReading",
       PackageError::kCannotOpen},
      {"size that cannot be read", true, AsText(SamplePackage(true)), "FileSize",
       PackageError::kCannotMap},
      {"mapping that cannot be made", true, AsText(SamplePackage(true)), "CreateMapping",
       PackageError::kCannotMap},
      {"view that cannot be made", true, AsText(SamplePackage(true)), "MapView",
       PackageError::kCannotMap},
      {"not a package", true, AsText(badMagic), nullptr, PackageError::kBadMagic},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeSystem system;
    if (c.fileExists) system.AddFile(kPackagePath, c.content);
    if (c.failingCall != nullptr) system.failNthCall[c.failingCall] = 0;
    Package package;
    EXPECT_EQ(OpenPackage(system, kPackagePath, PackageSource::kPackageFile, &package), c.expected);
    EXPECT_EQ(system.OpenHandleCount(), 0u);
    EXPECT_EQ(package.file, kNoHandle);
    EXPECT_EQ(package.mapping, kNoHandle);
    EXPECT_EQ(package.view, nullptr);
    ExpectEmpty(package);
  }
}

// Tests that failing each call of an open in turn never leaves a handle
// behind.
TEST(OpenPackageTest, EveryFailingCallIsCleanedUp) {
  FakeSystem probe;
  probe.AddFile(kExecutablePath, AsText(SampleExecutable()));
  Package probed;
  ASSERT_EQ(OpenPackage(probe, kExecutablePath, PackageSource::kOwnFile, &probed),
            PackageError::kNone);
  const int callsOfAnOpen = probe.callCount;
  ReleasePackage(probe, &probed);

  for (int failing = 0; failing < callsOfAnOpen; ++failing) {
    SCOPED_TRACE(failing);
    FakeSystem system;
    system.AddFile(kExecutablePath, AsText(SampleExecutable()));
    system.failCallIndex = failing;
    Package package;
    const PackageError error =
        OpenPackage(system, kExecutablePath, PackageSource::kOwnFile, &package);
    if (error == PackageError::kNone) ReleasePackage(system, &package);
    EXPECT_EQ(system.OpenHandleCount(), 0u);
  }
}

// Tests that opening into a package that is still open lets the old one go.
TEST(OpenPackageTest, ReopeningReleasesTheOldPackage) {
  FakeSystem system;
  system.AddFile(kPackagePath, AsText(SamplePackage(false)));
  Package package;
  ASSERT_EQ(OpenPackage(system, kPackagePath, PackageSource::kPackageFile, &package),
            PackageError::kNone);
  const size_t handlesOfOneOpen = system.OpenHandleCount();
  ASSERT_EQ(OpenPackage(system, kPackagePath, PackageSource::kPackageFile, &package),
            PackageError::kNone);
  EXPECT_EQ(system.OpenHandleCount(), handlesOfOneOpen);
  ReleasePackage(system, &package);
  EXPECT_EQ(system.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace brx
