#include "brxpack/reading/package_file.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "brxpack/contents/display_text.h"
#include "brxpack/host/host_path.h"
#include "package/format.h"
#include "package/signed_image.h"

namespace brxpack {

namespace {

SignatureInfo InspectSignature(brx::MemoryRange bytes) {
  SignatureInfo info;
  const std::optional<brx::PeSecurityDirectory> directory = brx::LocatePeSecurityDirectory(bytes);
  if (!directory) return info;
  info.isPe = true;
  info.present = directory->tableSize != 0;
  info.tableOffset = directory->tableOffset;
  info.tableSize = directory->tableSize;
  info.atEnd =
      info.present && uint64_t{directory->tableOffset} + directory->tableSize == bytes.size;
  return info;
}

// The reader's errors in a publisher's words, in the enumeration's order.
constexpr const char* kPackageErrorTexts[] = {
    "no problem",
    "the file cannot be opened",
    "the file cannot be mapped (an empty file among others)",
    "no trailer: the last eight bytes do not end in \"BRDX\" (not a package, nor a "
    "self-applying executable)",
    "the trailer's package start leaves no room for a package header",
    "the package header's magic is wrong",
    "the header says the directory has no entries",
    "the header's directory offset is 0",
    "the directory's storage method is 1, which the installer refuses",
    "the directory reaches past the end of the package",
    "the directory's size is impossible (too many entries for its bytes)",
    "the compressed directory is damaged (it does not inflate to its size)",
    "an entry's name fills all 32 bytes of its field without a terminating zero",
    "an entry's stored bytes reach past the end of the package",
    "a section entry is damaged (it does not produce its size)",
    "its stored bytes differ from the package digest (:PackageDigest): bytes changed after the "
    "build",
    "out of memory while reading the package",
};
static_assert(std::size(kPackageErrorTexts) ==
              static_cast<size_t>(brx::PackageError::kOutOfMemory) + 1);

std::string DescribePackageError(brx::PackageError error) {
  const auto index = static_cast<size_t>(error);
  return index < std::size(kPackageErrorTexts) ? kPackageErrorTexts[index] : "unknown reader error";
}

}  // namespace

Result<PackageFile> MapPackageFile(const std::filesystem::path& path) {
  Result<MappedFile> mapped = MappedFile::Open(path);
  if (!mapped.ok()) return mapped.TakeError();
  PackageFile file;
  file.shown = Utf8FromPath(path);
  if (!mapped->FitsIn32Bits()) {
    return Error{file.shown + ": 4 GiB or larger; packages hold 32-bit offsets"};
  }
  file.file = std::move(*mapped);
  const brx::MemoryRange bytes = file.file.range();
  const bool startsWithMagic =
      bytes.size >= sizeof brx::kHeaderMagic &&
      std::memcmp(bytes.data, brx::kHeaderMagic, sizeof brx::kHeaderMagic) == 0;
  file.source = startsWithMagic ? brx::PackageSource::kPackageFile : brx::PackageSource::kOwnFile;
  file.signature = InspectSignature(bytes);
  if (file.source == brx::PackageSource::kOwnFile) {
    Result<StubArch> arch = ArchOfImage(bytes);
    if (arch.ok()) {
      file.stubArch = *arch;
    } else {
      file.noStub = arch.error();
    }
  }
  return file;
}

ParsedPackage::ParsedPackage(const PackageFile& file)
    : error_(brx::ParsePackage(file.file.range(), file.source, &package_)) {}

// The reader allocates the directory with malloc and ReleasePackage frees it
// so; nothing else of a parse (no handle, no view) needs releasing.
ParsedPackage::~ParsedPackage() {
  std::free(package_.directory);
}

std::string DescribeRefusal(const PackageFile& file, brx::PackageError error) {
  const brx::MemoryRange bytes = file.file.range();
  const bool executable = bytes.size >= 2 && bytes.data[0] == 'M' && bytes.data[1] == 'Z';
  if (error != brx::PackageError::kNoTrailer || executable) return DescribePackageError(error);
  // Neither a package file nor a program: most likely a package whose first
  // bytes were damaged, when enough of the magic is still there.
  const size_t head = std::min<size_t>(bytes.size, sizeof brx::kHeaderMagic);
  size_t same = 0;
  for (size_t i = 0; i < head; ++i) same += bytes.data[i] == brx::kHeaderMagic[i];
  const std::string magic = QuotedForDisplay(
      std::string(reinterpret_cast<const char*>(brx::kHeaderMagic), sizeof brx::kHeaderMagic));
  if (same >= sizeof brx::kHeaderMagic / 2) {
    return "the package header's magic is damaged: the file begins " +
           QuotedForDisplay(std::string(reinterpret_cast<const char*>(bytes.data), head)) +
           ", not " + magic;
  }
  return "neither a package (it does not begin with the package magic " + magic +
         ") nor a self-applying executable (it is no Windows program ending in a \"BRDX\" "
         "trailer)";
}

Result<OpenedPackage> OpenPackageForReading(const std::filesystem::path& path) {
  Result<PackageFile> file = MapPackageFile(path);
  if (!file.ok()) return file.TakeError();
  OpenedPackage opened;
  opened.file = std::move(*file);
  opened.parsed = std::make_unique<ParsedPackage>(opened.file);
  if (!opened.parsed->ok()) {
    return Error{opened.file.shown + ": the installer would refuse it: " +
                 DescribeRefusal(opened.file, opened.parsed->error()) +
                 " (brxpack verify says more)"};
  }
  return opened;
}

}  // namespace brxpack
