#include "support/target_fixture.h"

#include "app/worker.h"
#include "package/section_names.h"

namespace brx::test {

void InstallTarget(FakeSystem& system) {
  system.registry().Put(kHklm, kTargetKey, "ProgramPath", kRegSz, Raw("C:\\Atlas\0"));
  system.registry().Put(kHklm, kTargetKey, "ProgramName", kRegSz, Raw("atlas.exe\0"));
  system.registry().Put(kHklm, kTargetKey, "PatchLevel", kRegDword, Raw("\x01\0\0\0"));
  system.AddFile("C:\\Atlas\\atlas.exe", "MZ atlas 1");
  system.AddFile("C:\\Atlas\\readme.txt", "Atlas 1");
  system.AddFile("C:\\Atlas\\Maps\\north.map", "north 1");
  system.AddFile("C:\\Atlas\\old.map", "old");
  system.AddFile(std::string(kTargetFolder) + kRelativeTool, "MZ");
  system.AddFile(kTool, "MZ");
  system.onStart = [&system](brxpack::SimulatedWindows&, SeamEvent& start) {
    if (start.text.find("fail") != std::string::npos) {
      system.AddFile(start.folder + "brx_patch_apply_err.txt", "failed");
    }
  };
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
