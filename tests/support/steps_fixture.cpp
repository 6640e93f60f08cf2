#include "support/steps_fixture.h"

#include <gtest/gtest.h>

#include "steps/phases.h"

namespace brx {

PackageEntrySource FileEntry(const std::string& name, const std::string& content,
                             EntryStorage storage) {
  return {name, std::vector<uint8_t>(content.begin(), content.end()), storage, 0};
}

PackageEntrySource SectionEntry(const std::string& name, const std::vector<uint8_t>& payload) {
  return {name, payload, EntryStorage::kCompressed, 0};
}

std::vector<uint8_t> Payload(const std::string& bytes) {
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

StepsRun::StepsRun(const std::vector<PackageEntrySource>& entries,
                   const std::string& targetFolder) {
  std::string error;
  bytes_ = WritePackage(entries, PackageWriterOptions{}, &error);
  EXPECT_FALSE(bytes_.empty()) << error;
  EXPECT_EQ(ParsePackage({bytes_.data(), static_cast<uint32_t>(bytes_.size())},
                         PackageSource::kPackageFile, &run.package),
            PackageError::kNone);
  EXPECT_TRUE(run.target.targetFolder.Assign(targetFolder.c_str()));
  system.AddFolder(targetFolder);
}

StepsRun::~StepsRun() {
  ReleasePackage(system, &run.package);
}

void StepsRun::Prepare() {
  LoadNameTable(run);
  CreateFolders(system, run);
}

size_t StepsRun::StoredAt(uint32_t index) const {
  return run.package.packageStart + run.package.directory[index].offset;
}

std::vector<std::string> StepsRun::CallsSince(size_t from) const {
  return std::vector<std::string>(system.calls.begin() + static_cast<std::ptrdiff_t>(from),
                                  system.calls.end());
}

}  // namespace brx
