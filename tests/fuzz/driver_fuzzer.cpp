// Arbitrary bytes as the package a whole run applies: RunWorker over
// FakeSystem with an installed target, once with the bytes as a package file
// and once as the program's own file. Beyond the sanitizers it checks that
// every run ends with its state stored and nothing left open. Inputs whose
// entries would produce more than a few megabytes are skipped: they test
// the fake's memory, not the installer's.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/worker.h"
#include "installed_target.h"
#include "package/reader.h"

namespace brx {
namespace {

constexpr uint32_t kLargestFile = 1u << 20;
constexpr uint32_t kLargestSection = 256u << 10;

void Require(bool promise) {
  if (!promise) __builtin_trap();
}

// False when an entry of the package would make the run too large for a fuzz input.
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

void Apply(const std::string& bytes, const char* path, const std::string& commandLine) {
  FakeSystem system;
  fuzz::InstallTarget(system);
  system.AddFile(path, bytes);
  WorkerState state{kRunning};
  RunWorker(system, commandLine.c_str(), state);
  Require(state.load() == kFinished || state.load() == kExit);
  Require(system.buttonShown);
  Require(system.OpenHandleCount() == 0);
}

}  // namespace
}  // namespace brx

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace brx;
  if (size > UINT32_MAX) return 0;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  if (SmallEnough(bytes, PackageSource::kPackageFile)) {
    Apply(bytes, "C:\\Upd\\update.brx", "PATCH.EXE C:\\Upd\\update.brx");
  }
  if (SmallEnough(bytes, PackageSource::kOwnFile)) {
    Apply(bytes, "C:\\Upd\\PATCH.EXE", "C:\\Upd\\PATCH.EXE");
  }
  return 0;
}
