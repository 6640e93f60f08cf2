#pragma once
// Everything verify checks: the installer reader's verdict, then each entry
// (produces exactly its size with a good Adler-32), each section's form,
// the presence of :RegistryKeys, repeated names, and the installed path of
// every file entry.
#include <string>
#include <vector>

#include "brxpack/reading/package_file.h"

namespace brxpack {

struct VerifyReport {
  std::vector<std::string> facts;     // what the file is
  std::vector<std::string> problems;  // damage, one line each, naming the entry
  std::vector<std::string> notes;     // worth knowing, but no damage
};

VerifyReport VerifyPackage(const PackageFile& file);

// A one-line description of the file's form and signature, shared with list.
std::string DescribeForm(const PackageFile& file, const brx::Package& package);
std::string DescribeSignature(const SignatureInfo& signature);

}  // namespace brxpack
