// One arbitrary payload as one section of an otherwise valid package, applied
// by a whole run (RunWorker over FakeSystem with an installed target), so
// every phase that parses a payload reads it: discovery, the question, the
// name table with the files it renames, folders, commands, removals and the
// registry table with its numbers. The first byte chooses the section, the
// rest is its payload, stored, so the block holds exactly those bytes.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/worker.h"
#include "authoring/section_encoders.h"
#include "authoring/writer.h"
#include "installed_target.h"
#include "package/section_names.h"

namespace brx {
namespace {

const char* const kSections[] = {
    kRegistryKeysSection, kStartupMsgSection,    kNameTableSection,     kFoldersSection,
    kCommandsSection,     kFilesToRemoveSection, kRegistryTableSection,
};
constexpr size_t kSectionCount = sizeof kSections / sizeof kSections[0];

void Require(bool promise) {
  if (!promise) __builtin_trap();
}

std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

std::vector<uint8_t> PackageWith(const char* section, const uint8_t* payload, size_t size) {
  RegistryKeysInput keys;
  keys.keyPath = fuzz::kTargetKey;
  keys.packageLevel = 2;
  std::vector<PackageEntrySource> entries;
  if (std::strcmp(section, kRegistryKeysSection) != 0) {
    entries.push_back({kRegistryKeysSection, EncodeRegistryKeys(keys), EntryStorage::kStored, 0});
  }
  entries.push_back(
      {section, std::vector<uint8_t>(payload, payload + size), EntryStorage::kStored, 0});
  entries.push_back({"readme.txt", Bytes("Atlas 2"), EntryStorage::kStored, 0});
  entries.push_back({"Maps\\north.map", Bytes("north 2"), EntryStorage::kStored, 0});
  PackageWriterOptions options;
  options.compressDirectory = false;
  std::string error;
  return WritePackage(entries, options, &error);
}

}  // namespace
}  // namespace brx

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace brx;
  if (size == 0 || size > (1u << 20)) return 0;
  const std::vector<uint8_t> package =
      PackageWith(kSections[data[0] % kSectionCount], data + 1, size - 1);
  Require(!package.empty());
  FakeSystem system;
  fuzz::InstallTarget(system);
  system.AddFile("C:\\Upd\\update.brx", std::string(package.begin(), package.end()));
  WorkerState state{kRunning};
  RunWorker(system, "PATCH.EXE C:\\Upd\\update.brx", state);
  Require(state.load() == kFinished || state.load() == kExit);
  Require(system.buttonShown);
  Require(system.OpenHandleCount() == 0);
  return 0;
}
