// One arbitrary payload as one section of an otherwise valid package,
// applied by a whole run (RunWorker over FakeSystem with the installed
// target), so every phase that parses a payload reads it: discovery, the
// question, the name table with the files it renames, folders, commands,
// removals and the registry table with its numbers. The first byte chooses
// the section, the rest is its payload, stored, so the block holds exactly
// those bytes.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "package/section_names.h"
#include "support/target_fixture.h"

namespace brx::test {
namespace {

const char* const kSections[] = {
    kRegistryKeysSection, kStartupMsgSection,    kNameTableSection,     kFoldersSection,
    kCommandsSection,     kFilesToRemoveSection, kRegistryTableSection,
};

void Require(bool promise) {
  if (!promise) __builtin_trap();
}

void Apply(const char* section, const uint8_t* payload, size_t size) {
  std::vector<PackageEntrySource> entries;
  if (std::strcmp(section, kRegistryKeysSection) != 0) entries.push_back(Keys());
  entries.push_back(Section(section, {payload, payload + size}, EntryStorage::kStored));
  entries.push_back(FileEntry("readme.txt", "Atlas 2", EntryStorage::kStored));
  entries.push_back(FileEntry("Maps\\north.map", "north 2", EntryStorage::kStored));
  const std::vector<uint8_t> package = WriteTestPackage(entries);
  Require(!package.empty());
  FakeSystem system;
  InstallTarget(system);
  system.AddFile(kPackageFile, Text(package));
  const int32_t state = RunInstaller(system);
  Require(state == kFinished || state == kExit);
  Require(system.buttonShown);
  Require(system.OpenHandleCount() == 0);
}

}  // namespace
}  // namespace brx::test

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace brx::test;
  if (size == 0 || size > (1u << 20)) return 0;
  Apply(kSections[data[0] % std::size(kSections)], data + 1, size - 1);
  return 0;
}
