#pragma once
// Everything verify checks: the installer reader's verdict, then each entry
// (produces exactly its size with a good Adler-32), each section's form,
// the presence of :RegistryKeys, repeated names, and the installed path of
// every file entry.
#include <optional>
#include <string>
#include <vector>

#include "brxpack/reading/package_file.h"

namespace brxpack {

struct VerifyReport {
  std::string file;                       // as given, for messages
  std::optional<std::string> unreadable;  // why the file could not be read at all
  std::vector<std::string> facts;         // what the file is
  std::vector<std::string> problems;  // damage, one line each, naming the entry
  std::vector<std::string> notes;     // worth knowing, but no damage
  std::optional<StubArch> stubArch;   // of a self-applying executable's stub
};

VerifyReport VerifyPackage(const std::filesystem::path& path);

// A one-line description of the file's form and signature, shared with list.
std::string DescribeForm(const PackageFile& file, const brx::Package& package);
std::string DescribeSignature(const SignatureInfo& signature);
// A self-applying executable's stub: "x64 (PE32+, AMD64)", or why it is none.
std::string DescribeStub(const PackageFile& file);

}  // namespace brxpack
