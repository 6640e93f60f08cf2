#include "brxpack/reading/package_verification.h"

#include <cstdlib>
#include <map>
#include <optional>

#include "brxpack/contents/display_text.h"
#include "brxpack/contents/package_path.h"
#include "brxpack/contents/section_bytes.h"
#include "brxpack/contents/section_checks.h"
#include "brxpack/contents/windows1251.h"
#include "brxpack/host/host_path.h"
#include "brxpack/reading/installed_files.h"
#include "brxpack/stub/authenticode.h"
#include "package/entry_lookup.h"
#include "package/section_names.h"

namespace brxpack {

namespace {

// The directory of a package the installer's reader refused, loaded by the
// reader's own first half without checking any entry, so that every damaged
// entry can be named; nothing when not even the directory can be read.
// Not to be copied: package.directory points into entries.
struct WalkedPackage {
  brx::Package package;
  std::vector<brx::DirectoryEntry> entries;
};

std::optional<WalkedPackage> WalkPackage(const PackageFile& file) {
  WalkedPackage walked;
  brx::Package& package = walked.package;
  if (brx::LoadPackageDirectory(file.file.range(), file.source, &package) !=
      brx::PackageError::kNone) {
    return std::nullopt;
  }
  walked.entries.assign(package.directory, package.directory + package.entryCount());
  std::free(package.directory);
  package.directory = walked.entries.data();
  return walked;
}

class Verifier {
 public:
  Verifier(const brx::Package& package, VerifyReport& report)
      : package_(package), report_(report) {}

  void Run() {
    const uint32_t count = package_.entryCount();
    names_.resize(count);
    for (uint32_t i = 0; i < count; ++i) CheckEntry(i);
    CheckRepeatedSections();
    if (brx::FindEntry(package_, brx::kRegistryKeysSection) == brx::kEntryNotFound) {
      Problem("no :RegistryKeys section: the installer cannot find the program to update");
    }
    CheckFileEntries();
    if ((package_.header.directoryFlags & brx::kDirectoryMethodMask) != brx::kDirectoryCompressed) {
      report_.notes.push_back("the directory is stored raw: unprotected, no checksum covers it");
    }
    if (storedCount_ != 0) {
      report_.notes.push_back(std::to_string(storedCount_) +
                              " entries are stored raw, without a zlib stream: unprotected, "
                              "since no checksum covers them, damage inside them cannot be seen");
    }
  }

 private:
  void Problem(const std::string& text) { report_.problems.push_back(text); }

  std::string Label(uint32_t index) const {
    return "entry " + std::to_string(index + 1) + " " + QuotedPath(names_[index]);
  }

  void CheckEntry(uint32_t index) {
    const brx::DirectoryEntry& entry = package_.directory[index];
    const bool terminated = brx::NameIsTerminated(entry);
    names_[index] =
        terminated ? std::string(entry.name) : std::string(entry.name, brx::kEntryNameSize);
    if (!terminated) {
      Problem(Label(index) + ": its name fills all 32 bytes without a terminating zero");
    }
    if (!brx::StoredBytesInPackage(package_, entry)) {
      Problem(Label(index) + ": its " + std::to_string(entry.StoredSize()) +
              " stored bytes at offset " + std::to_string(entry.offset) +
              " reach past the end of the package");
      return;
    }
    // The digest is the checksum itself: stored raw, it protects itself.
    if (!entry.IsCompressed() && brx::ClassifySection(entry.name) != brx::SectionKind::kDigest) {
      ++storedCount_;
    }
    const bool section = entry.IsSection() && terminated;
    if (!Produce(index, entry) || !section) return;

    const SectionBytes payload(
        entry.IsCompressed() ? buffer_.data() : package_.StoredBytes(entry).data, entry.size);
    for (const std::string& fault : CheckSection(names_[index], payload)) {
      Problem(Label(index) + ": " + fault);
    }
    if (brx::ClassifySection(entry.name) == brx::SectionKind::kUnknown) {
      report_.notes.push_back(Label(index) + " is not a section the installer reads");
    }
    if (!nameTable_ && brx::EntryNamesEqual(entry.name, brx::kNameTableSection)) {
      nameTable_ = payload;
    }
  }

  // Compressed entries are inflated with the installer's own extraction
  // into buffer_; stored ones cannot fail.
  bool Produce(uint32_t index, const brx::DirectoryEntry& entry) {
    if (!entry.IsCompressed()) return true;
    if (!brx::SizeFitsStream(entry)) {
      Problem(Label(index) + ": claims " + std::to_string(entry.size) + " bytes, more than its " +
              std::to_string(entry.compressedSize) + " compressed bytes can hold");
      return false;
    }
    buffer_.resize(entry.size);
    if (!brx::ExtractEntry(package_, entry, buffer_.data())) {
      Problem(Label(index) + ": damaged: its zlib stream does not give exactly its " +
              std::to_string(entry.size) + " bytes with a good Adler-32 checksum");
      return false;
    }
    return true;
  }

  // Repeated file names are caught with the installed paths they share.
  void CheckRepeatedSections() {
    std::map<std::string, uint32_t> first;
    for (uint32_t i = 0; i < names_.size(); ++i) {
      if (names_[i].empty() || names_[i][0] != ':') continue;
      auto [place, added] = first.emplace(FoldedName(names_[i]), i);
      if (added) continue;
      Problem(Label(i) + ": repeats the name of entry " + std::to_string(place->second + 1) +
              "; the installer reads only the first");
    }
  }

  void CheckFileEntries() {
    const brx::MemoryRange table = nameTable_ ? nameTable_->range() : brx::MemoryRange{};
    for (const InstalledFile& file : JudgeInstalledFiles(names_, table)) {
      if (file.problem) Problem(Label(file.index) + ": " + *file.problem);
      if (std::optional<std::string> warning =
              file.problem ? std::nullopt
                           : PathLengthWarning(file.installed, PathUse::kInstalledFile)) {
        report_.notes.push_back(Label(file.index) + ": installed as " + QuotedPath(file.installed) +
                                ", which " + *warning);
      }
    }
  }

  const brx::Package& package_;
  VerifyReport& report_;
  std::vector<std::string> names_;
  std::vector<uint8_t> buffer_;
  std::optional<SectionBytes> nameTable_;
  unsigned storedCount_ = 0;
};

void ReportSignature(const PackageFile& file, VerifyReport& report) {
  std::string fact = "signature: " + DescribeSignature(file.signature);
  if (file.signature.present && !file.signature.atEnd) {
    report.notes.push_back("the signature named in the PE header does not sign this file");
  }
  if (file.signature.atEnd) {
    const SignatureDigest digest = CheckSignatureDigest(file.file.range());
    switch (digest.verdict) {
      case DigestVerdict::kMatches:
        fact += "; its digest matches the image (" + digest.detail +
                "; the certificates are not checked)";
        break;
      case DigestVerdict::kDiffers:
        report.problems.push_back(
            "the signature does not sign this file: bytes changed after "
            "signing, its digest differs (" +
            digest.detail + ")");
        break;
      case DigestVerdict::kUnreadable:
        report.problems.push_back("the signature cannot be read: " + digest.detail);
        break;
      case DigestVerdict::kNotChecked:
        fact += "; its digest is not checked: " + digest.detail;
        break;
    }
  }
  report.facts.push_back(fact);
}

}  // namespace

std::string DescribeSignature(const SignatureInfo& signature) {
  if (!signature.isPe) return "none (not a Windows program)";
  if (!signature.present) return "none";
  const std::string table = "Authenticode certificate table of " +
                            std::to_string(signature.tableSize) + " bytes at offset " +
                            std::to_string(signature.tableOffset);
  if (signature.atEnd) return "present: " + table + ", ending the file";
  return "stale: the PE header names an " + table +
         " that does not end the file (a signed stub's?); it does not sign this file";
}

std::string DescribeStub(const PackageFile& file) {
  if (file.stubArch) return DescribeArch(*file.stubArch);
  return "no installer stub: " + file.noStub;
}

std::string DescribeForm(const PackageFile& file, const brx::Package& package) {
  const uint32_t packageSize = package.packageEnd - package.packageStart;
  if (file.source == brx::PackageSource::kPackageFile) {
    return "package file of " + std::to_string(file.file.size()) + " bytes";
  }
  return "self-applying executable of " + std::to_string(file.file.size()) + " bytes: stub " +
         std::to_string(package.packageStart) + " bytes, package " + std::to_string(packageSize) +
         " bytes, trailer at offset " + std::to_string(package.packageEnd);
}

VerifyReport VerifyPackage(const std::filesystem::path& path) {
  VerifyReport report;
  report.file = Utf8FromPath(path);
  Result<PackageFile> mapped = MapPackageFile(path);
  if (!mapped.ok()) {
    report.unreadable = mapped.error();
    return report;
  }
  const PackageFile& file = *mapped;
  ParsedPackage parsed(file);
  std::optional<WalkedPackage> walked;
  const brx::Package* package = nullptr;
  if (parsed.ok()) {
    package = &parsed.package();
  } else {
    report.problems.push_back("the installer's reader refuses it: " +
                              DescribeRefusal(file, parsed.error()));
    walked = WalkPackage(file);
    if (walked) package = &walked->package;
  }
  if (package != nullptr) {
    report.facts.push_back(DescribeForm(file, *package) + ", " +
                           std::to_string(package->entryCount()) + " entries");
  } else if (file.source == brx::PackageSource::kOwnFile) {
    report.facts.push_back("not a package file; read as a self-applying executable");
  }
  if (file.source == brx::PackageSource::kOwnFile) {
    report.facts.push_back("stub: " + DescribeStub(file));
    report.stubArch = file.stubArch;
    ReportSignature(file, report);
  }
  if (package != nullptr) Verifier(*package, report).Run();
  return report;
}

}  // namespace brxpack
