#pragma once
// A package or a self-applying executable opened for reading: mapped whole,
// its form recognised, and read by the installer's own package reader.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "brxpack/stub/stub_architecture.h"
#include "brxpack/host/mapped_file.h"
#include "brxpack/result.h"
#include "package/reader.h"

namespace brxpack {

struct SignatureInfo {
  bool isPe = false;
  bool present = false;  // the security directory names a certificate table
  bool atEnd = false;    // ... that ends exactly at the file's end
  uint32_t tableOffset = 0;
  uint32_t tableSize = 0;
};

struct PackageFile {
  MappedFile file;
  std::string shown;          // the name as given, for messages
  brx::PackageSource source;  // a package file, or an executable with the package behind it
  SignatureInfo signature;
  // A self-applying executable's stub: its architecture, or why it is none.
  std::optional<StubArch> stubArch;
  std::string noStub;
};

// Maps the file and decides its form: a file that begins with the package
// magic is a package file, anything else is read as a self-applying
// executable. Fails only when the file cannot be read or is 4 GiB or more.
Result<PackageFile> MapPackageFile(const std::filesystem::path& path);

// The installer reader's verdict on a mapped file, and on success the
// directory it loaded (owned here).
class ParsedPackage {
 public:
  explicit ParsedPackage(const PackageFile& file);
  ParsedPackage(const ParsedPackage&) = delete;
  ParsedPackage& operator=(const ParsedPackage&) = delete;
  ~ParsedPackage();

  bool ok() const { return error_ == brx::PackageError::kNone; }
  brx::PackageError error() const { return error_; }
  const brx::Package& package() const { return package_; }

 private:
  brx::Package package_;
  brx::PackageError error_;
};

// What the reader's refusal means, in a publisher's words: a file that is
// neither a package nor a program is told apart from a package whose magic
// was damaged.
std::string DescribeRefusal(const PackageFile& file, brx::PackageError error);

// Maps and parses; fails (for list, extract and manifest) when the file
// cannot be read or the reader refuses it.
struct OpenedPackage {
  PackageFile file;
  std::unique_ptr<ParsedPackage> parsed;
  const brx::Package& package() const { return parsed->package(); }
};
Result<OpenedPackage> OpenPackageForReading(const std::filesystem::path& path);

}  // namespace brxpack
