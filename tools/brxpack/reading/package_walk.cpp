#include "brxpack/reading/package_walk.h"

#include <cstdlib>

namespace brxpack {

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

}  // namespace brxpack
