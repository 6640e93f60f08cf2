#include "support/target_fixture.h"

#include "app/worker.h"
#include "package/section_names.h"

namespace brx::test {

void InstallTarget(FakeSystem& system) {
  system.PutRegistryValue(kHklm, kTargetKey, "ProgramPath", kRegSz, Raw("C:\\Atlas\0"));
  system.PutRegistryValue(kHklm, kTargetKey, "ProgramName", kRegSz, Raw("atlas.exe\0"));
  system.PutRegistryDword(kHklm, kTargetKey, "PatchLevel", 1);
  system.AddFile("C:\\Atlas\\atlas.exe", "MZ atlas 1");
  system.AddFile("C:\\Atlas\\readme.txt", "Atlas 1");
  system.AddFile("C:\\Atlas\\Maps\\north.map", "north 1");
  system.AddFile("C:\\Atlas\\old.map", "old");
  const auto failsWhenAsked = [](FakeSystem& s, const FakeSystem::ProcessStart& start) {
    if (start.commandLine.find("fail") != std::string::npos) {
      s.AddFile(start.currentFolder + "brx_patch_apply_err.txt", "failed");
    }
  };
  system.AddProgram(std::string(kTargetFolder) + kRelativeTool, failsWhenAsked);
  system.AddProgram(kTool, failsWhenAsked);
}

std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

std::string Text(const std::vector<uint8_t>& bytes) {
  return {bytes.begin(), bytes.end()};
}

PackageEntrySource FileEntry(const std::string& name, const std::string& content,
                             EntryStorage storage) {
  return {name, Bytes(content), storage, 0};
}

PackageEntrySource Section(const std::string& name, const std::vector<uint8_t>& payload,
                           EntryStorage storage) {
  return {name, payload, storage, 0};
}

PackageEntrySource Keys(int32_t packageLevel) {
  RegistryKeysInput keys;
  keys.keyPath = kTargetKey;
  keys.packageLevel = packageLevel;
  return Section(kRegistryKeysSection, EncodeRegistryKeys(keys));
}

int32_t RunInstaller(System& system, const std::string& commandLine) {
  WorkerState state{kRunning};
  RunWorker(system, commandLine.c_str(), state);
  return state.load();
}

}  // namespace brx::test
