#pragma once
// The installed program that tests and fuzzers update, and the packages
// written for it. Atlas lives in C:\Atlas, registered under
// HKLM\SOFTWARE\Brindlex\Atlas at patch level 1. Beside its program it
// holds a few files and two helper programs for command lists, which leave
// the error file when their command line holds "fail".
#include <cstdint>
#include <string>
#include <vector>

#include "authoring/section_encoders.h"
#include "run/worker_state.h"
#include "support/fake_system.h"
#include "support/package_samples.h"

namespace brx::test {

inline constexpr RegistryRoot kHklm = RegistryRoot::kLocalMachine;
inline constexpr RegistryRoot kHkcu = RegistryRoot::kCurrentUser;
inline constexpr char kTargetKey[] = "SOFTWARE\\Brindlex\\Atlas";
inline constexpr char kTargetFolder[] = "C:\\Atlas\\";  // as discovery completes it
inline constexpr char kTool[] = "C:\\Tools\\tool.exe";
inline constexpr char kRelativeTool[] = "tools\\conv.exe";
inline constexpr char kErrorFile[] = "C:\\Atlas\\brx_patch_apply_err.txt";
inline constexpr char kPackageFile[] = "C:\\Upd\\update.brx";
inline constexpr char kApplyPackageFile[] = "PATCH.EXE C:\\Upd\\update.brx";

void InstallTarget(FakeSystem& system);

std::vector<uint8_t> Bytes(const std::string& text);
std::string Text(const std::vector<uint8_t>& bytes);
// A literal's bytes, its zeros included (not its own terminator).
template <size_t N>
std::string Raw(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

PackageEntrySource FileEntry(const std::string& name, const std::string& content,
                             EntryStorage storage = EntryStorage::kCompressed);
PackageEntrySource Section(const std::string& name, const std::vector<uint8_t>& payload,
                           EntryStorage storage = EntryStorage::kCompressed);
// :RegistryKeys naming the target.
PackageEntrySource Keys(int32_t packageLevel = 2);

// One whole run of the worker, as PATCH.EXE makes it; gives the state stored.
int32_t RunInstaller(System& system, const std::string& commandLine = kApplyPackageFile);

}  // namespace brx::test
