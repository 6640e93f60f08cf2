// Arbitrary bytes as the package a whole run applies: RunWorker over
// FakeSystem with the installed target, once with the bytes as a package
// file and once as the program's own file. Beyond the sanitizers it checks
// that every run ends with its state stored and nothing left open. Inputs
// whose entries would produce more than a few megabytes are skipped: they
// test the fake's memory, not the installer's.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "package/reader.h"
#include "support/target_fixture.h"

namespace brx::test {
namespace {

constexpr uint32_t kLargestFile = 1u << 20;
constexpr uint32_t kLargestSection = 256u << 10;

void Require(bool promise) {
  if (!promise) __builtin_trap();
}

bool SmallEnough(const std::string& bytes, PackageSource source) {
  Package package;
  const MemoryRange file = {reinterpret_cast<const uint8_t*>(bytes.data()),
                            static_cast<uint32_t>(bytes.size())};
  if (ParsePackage(file, source, &package) != PackageError::kNone) return true;
  bool small = true;
  for (uint32_t i = 0; i < package.entryCount(); ++i) {
    const DirectoryEntry& entry = package.directory[i];
    small = small && entry.size <= (entry.IsSection() ? kLargestSection : kLargestFile);
  }
  std::free(package.directory);
  return small;
}

void Apply(const std::string& bytes, PackageSource source) {
  if (!SmallEnough(bytes, source)) return;
  FakeSystem system;
  InstallTarget(system);
  system.AddFile(kPackageFile, bytes);
  const int32_t state =
      RunInstaller(system, source == PackageSource::kOwnFile ? kPackageFile : kApplyPackageFile);
  Require(state == kFinished || state == kExit);
  Require(system.buttonShown);
  Require(system.OpenHandleCount() == 0);
}

}  // namespace
}  // namespace brx::test

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace brx;
  if (size > UINT32_MAX) return 0;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  test::Apply(bytes, PackageSource::kPackageFile);
  test::Apply(bytes, PackageSource::kOwnFile);
  return 0;
}
