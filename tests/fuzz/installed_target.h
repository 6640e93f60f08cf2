#pragma once
// The installed program that the installer-level fuzzers apply packages to:
// the target the seed packages name (SOFTWARE\Brindlex\Atlas, level 1, in
// C:\Atlas), a few of its files, and two programs for the command list, one
// of which reports failure when its arguments ask it to. Header-only: the
// fuzz glob builds every *_fuzzer.cpp beside it.
#include <string>

#include "support/fake_system.h"

namespace brx::fuzz {

inline constexpr char kTargetKey[] = "SOFTWARE\\Brindlex\\Atlas";
inline constexpr char kTargetFolder[] = "C:\\Atlas";

inline void InstallTarget(FakeSystem& system) {
  const auto local = RegistryRoot::kLocalMachine;
  system.PutRegistryText(local, kTargetKey, "ProgramPath", kTargetFolder);
  system.PutRegistryText(local, kTargetKey, "ProgramName", "atlas.exe");
  system.PutRegistryDword(local, kTargetKey, "PatchLevel", 1);
  system.AddFile("C:\\Atlas\\atlas.exe", "MZ atlas");
  system.AddFile("C:\\Atlas\\readme.txt", "Atlas 1");
  system.AddFile("C:\\Atlas\\Maps\\north.map", "north 1");
  system.AddFile("C:\\Atlas\\old.map", "old");
  const auto failsWhenAsked = [](FakeSystem& s, const FakeSystem::ProcessStart& start) {
    if (start.commandLine.find("fail") != std::string::npos) {
      s.AddFile(start.currentFolder + "\\brx_patch_apply_err.txt", "failed");
    }
  };
  system.AddProgram("C:\\Atlas\\tools\\conv.exe", failsWhenAsked);
  system.AddProgram("C:\\Tools\\tool.exe", failsWhenAsked);
}

}  // namespace brx::fuzz
