// Completion: reports success and records the package's patch level, so a
// second run of the same package brings the level warning.
#include "package/format.h"
#include "run/status.h"
#include "run/user_texts.h"
#include "steps/phases.h"

namespace brx {

void CompleteUpdate(System& system, RunState& run) {
  // The failing phase has already told the user; there is no summary text.
  if (run.updateFailed != 0) return;
  ShowStatus(system, "%s", kUpdateInstalledText);
  RegistryKey key = 0;
  // Opened, never created: a key that vanished means the target went with it.
  if (system.OpenRegistryKey(RegistryRoot::kLocalMachine, run.target.keyPath.c_str(),
                             kKeySetValueAndCreateSubKey, &key) != kRegistrySuccess) {
    return;
  }
  uint8_t level[4];
  WriteLe32(level, static_cast<uint32_t>(run.target.packageLevel));
  // Not looked at: the success text already stands, and nothing reports a
  // level that could not be recorded.
  system.SetRegistryValue(key, run.target.levelValueName.c_str(), kRegDword, level, sizeof level);
  system.CloseRegistryKey(key);
}

}  // namespace brx
