#include "support/target_fixture.h"

#include <gtest/gtest.h>

#include "package/reader.h"
#include "package/section_names.h"

namespace brx {

RegistryKeysInput TargetKeys(int32_t packageLevel) {
  RegistryKeysInput keys;
  keys.keyPath = kTargetKey;
  keys.packageLevel = packageLevel;
  return keys;
}

PackageEntrySource Entry(const std::string& name, const std::vector<uint8_t>& content,
                         EntryStorage storage) {
  PackageEntrySource entry;
  entry.name = name;
  entry.content = content;
  entry.storage = storage;
  return entry;
}

PackageEntrySource RegistryKeysEntry(int32_t packageLevel) {
  return Entry(kRegistryKeysSection, EncodeRegistryKeys(TargetKeys(packageLevel)));
}

PackageEntrySource StartupMsgEntry(const std::string& caption, const std::string& question) {
  return Entry(kStartupMsgSection, EncodeStartupMessage(caption, question));
}

std::vector<uint8_t> MakePackage(const std::vector<PackageEntrySource>& entries) {
  std::string error;
  std::vector<uint8_t> package = WritePackage(entries, PackageWriterOptions{}, &error);
  EXPECT_FALSE(package.empty()) << error;
  return package;
}

std::string AsString(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

void InstallTarget(FakeSystem& system, std::optional<int32_t> installedLevel) {
  system.PutRegistryText(RegistryRoot::kLocalMachine, kTargetKey, "ProgramPath", kTargetFolder);
  system.PutRegistryText(RegistryRoot::kLocalMachine, kTargetKey, "ProgramName", kTargetProgram);
  if (installedLevel) {
    system.PutRegistryDword(RegistryRoot::kLocalMachine, kTargetKey, "PatchLevel",
                            static_cast<uint32_t>(*installedLevel));
  }
  system.AddFile(std::string(kTargetFolder) + "\\" + kTargetProgram, "MZ viewer");
}

PhaseRun::PhaseRun(const std::vector<PackageEntrySource>& entries) : bytes_(MakePackage(entries)) {
  const MemoryRange bytes = {bytes_.data(), static_cast<uint32_t>(bytes_.size())};
  EXPECT_EQ(ParsePackage(bytes, PackageSource::kPackageFile, &run.package), PackageError::kNone);
  run.packageOpened = true;
}

PhaseRun::~PhaseRun() {
  // A parsed package holds no handle or view, only its directory.
  FakeSystem noHandles;
  ReleasePackage(noHandles, &run.package);
}

}  // namespace brx
