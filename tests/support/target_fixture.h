#pragma once
// Packages and an installed target program for the tests of the driver and
// its phases. Packages are composed with the writer, as the authoring tool
// composes them.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "authoring/section_encoders.h"
#include "authoring/writer.h"
#include "run/run_state.h"
#include "support/fake_system.h"

namespace brx {

// The target as the packages in use describe it.
inline constexpr char kTargetKey[] = "SOFTWARE\\Brindlex\\Viewer";
inline constexpr char kTargetFolder[] = "C:\\Program Files\\Viewer";
inline constexpr char kTargetProgram[] = "viewer.exe";

RegistryKeysInput TargetKeys(int32_t packageLevel = 1);

PackageEntrySource Entry(const std::string& name, const std::vector<uint8_t>& content,
                         EntryStorage storage = EntryStorage::kCompressed);
PackageEntrySource RegistryKeysEntry(int32_t packageLevel = 1);
PackageEntrySource StartupMsgEntry(const std::string& caption, const std::string& question);

// A package file's bytes; the test fails on a writer error.
std::vector<uint8_t> MakePackage(const std::vector<PackageEntrySource>& entries);
std::string AsString(const std::vector<uint8_t>& bytes);

// Registers the target's folder, program name and (if given) patch level as
// REG_DWORD under HKLM, and puts the program file in its folder.
void InstallTarget(FakeSystem& system, std::optional<int32_t> installedLevel);

// A run whose package is parsed straight from writer bytes, with no file
// behind it: for the tests of single phases. Releases the package at its end.
class PhaseRun {
 public:
  explicit PhaseRun(const std::vector<PackageEntrySource>& entries);
  ~PhaseRun();
  PhaseRun(const PhaseRun&) = delete;
  PhaseRun& operator=(const PhaseRun&) = delete;

  RunState run;

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace brx
