#include "package/signed_image.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "authoring/writer.h"
#include "package/reader.h"
#include "support/pe_samples.h"

namespace brx {
namespace {

using test::AppendCertificateTable;
using test::SamplePe32;
using test::SelfApplying;

MemoryRange Range(const std::vector<uint8_t>& bytes) {
  return {bytes.data(), static_cast<uint32_t>(bytes.size())};
}

// Tests that the headers are found in a PE32 image, and that the entry's
// fields are read from where the image puts them.
TEST(SignedImageTest, LocatesTheSecurityDirectory) {
  std::vector<uint8_t> image = SamplePe32(0x200);
  std::optional<PeSecurityDirectory> directory = LocatePeSecurityDirectory(Range(image));
  ASSERT_TRUE(directory);
  EXPECT_EQ(directory->checksumOffset, test::kSampleChecksumOffset);
  EXPECT_EQ(directory->entryOffset, test::kSampleSecurityEntry);
  EXPECT_EQ(directory->tableSize, 0u);
  AppendCertificateTable(image, 40);
  directory = LocatePeSecurityDirectory(Range(image));
  ASSERT_TRUE(directory);
  EXPECT_EQ(directory->tableOffset, 0x200u);
  EXPECT_EQ(directory->tableSize, 40u);
}

// Tests that bytes which are no PE image, or whose headers are cut short or
// inconsistent, give nothing instead of reading past their end.
TEST(SignedImageTest, RefusesWhatIsNoPeImage) {
  using Image = std::vector<uint8_t>;
  struct Case {
    const char* what;
    std::function<void(Image&)> damage;
  };
  const Case cases[] = {
      {"no MZ", [](Image& i) { i[0] = 'X'; }},
      {"PE offset beyond the file", [](Image& i) { WriteLe32(i.data() + 0x3C, 0xFFFFFFF0u); }},
      {"no PE signature", [](Image& i) { i[test::kSamplePeOffset + 1] = 'X'; }},
      {"unknown optional header", [](Image& i) { i[test::kSampleOptionalHeader] = 0x07; }},
      {"too few data directories",
       [](Image& i) { WriteLe32(i.data() + test::kSampleOptionalHeader + 92, 4); }},
      {"optional header too short for the entry",
       [](Image& i) { i[test::kSamplePeOffset + 4 + 16] = 100; }},
      {"cut before the security entry's end",
       [](Image& i) { i.resize(test::kSampleSecurityEntry + 4); }},
      {"cut inside the DOS header", [](Image& i) { i.resize(0x20); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Image image = SamplePe32(0x200);
    c.damage(image);
    EXPECT_FALSE(LocatePeSecurityDirectory(Range(image)));
  }
  EXPECT_FALSE(LocatePeSecurityDirectory({nullptr, 0}));
}

// Tests that the trailer of a signed self-applying executable is found before
// its certificate table, for every padding a signing tool may add, and that
// the result is the trailer's own offset.
TEST(SignedImageTest, FindsTheTrailerBeforeTheCertificateTable) {
  const std::vector<uint8_t> package = {'p', 'a', 'c', 'k', 'a', 'g', 'e'};
  for (size_t stubSize = 0x200; stubSize < 0x208; ++stubSize) {
    SCOPED_TRACE(stubSize);
    std::vector<uint8_t> file = SelfApplying(SamplePe32(stubSize), package);
    const uint32_t trailerOffset = static_cast<uint32_t>(file.size() - kTrailerSize);
    EXPECT_FALSE(FindTrailerBeforeCertificateTable(Range(file)));  // not signed
    AppendCertificateTable(file, 1432);
    EXPECT_EQ(FindTrailerBeforeCertificateTable(Range(file)), trailerOffset);
  }
}

// Tests that only a table that ends the file, with nothing but zero padding
// (at most 7 bytes) between the trailer and the table, counts.
TEST(SignedImageTest, RefusesEverythingElse) {
  std::vector<uint8_t> unpadded = SelfApplying(SamplePe32(0x200), {1, 2, 3, 4, 5, 6, 7, 8});
  ASSERT_EQ(unpadded.size() % 8, 0u);

  struct Case {
    const char* what;
    size_t padding;       // zero bytes between trailer and table
    uint8_t paddingByte;  // what the padding holds
    bool extraAtEnd;      // a byte behind the table
    bool breakMagic;
  };
  const Case cases[] = {
      {"eight bytes of padding", 8, 0, false, false},
      {"padding that is not zero", 3, 0x55, false, false},
      {"a byte behind the table", 0, 0, true, false},
      {"no trailer magic", 0, 0, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> file = unpadded;
    if (c.breakMagic) file[file.size() - 1] = 'Y';
    for (size_t i = 0; i < c.padding; ++i) file.push_back(c.paddingByte);
    const uint32_t tableOffset = static_cast<uint32_t>(file.size());
    file.resize(file.size() + 64, 0xC3);
    WriteLe32(file.data() + test::kSampleSecurityEntry, tableOffset);
    WriteLe32(file.data() + test::kSampleSecurityEntry + 4, 64);
    if (c.extraAtEnd) file.push_back(0);
    EXPECT_FALSE(FindTrailerBeforeCertificateTable(Range(file)));
  }
}

// Tests that the installer's reader finds the package of a signed
// self-applying executable through its own-file mode, and still refuses a
// file with anything else behind its trailer.
TEST(SignedImageTest, TheReaderReadsSignedExecutables) {
  std::string error;
  const std::vector<uint8_t> package =
      WritePackage({{":Folders", {'d', 0, 0}, EntryStorage::kStored}}, {}, &error);
  ASSERT_FALSE(package.empty()) << error;
  std::vector<uint8_t> file = SelfApplying(SamplePe32(0x201), package);
  AppendCertificateTable(file, 200);
  Package parsed;
  ASSERT_EQ(ParsePackage(Range(file), PackageSource::kOwnFile, &parsed), PackageError::kNone);
  EXPECT_EQ(parsed.packageStart, 0x201u);
  EXPECT_EQ(parsed.packageEnd, 0x201u + package.size());
  EXPECT_EQ(parsed.entryCount(), 1u);
  std::free(parsed.directory);

  file.push_back(0);
  EXPECT_EQ(ParsePackage(Range(file), PackageSource::kOwnFile, &parsed), PackageError::kNoTrailer);
}

}  // namespace
}  // namespace brx
