// Target discovery: where the program to be updated lives, which patch level
// it has, and which level this package brings.
#include "package/format.h"
#include "package/section_names.h"
#include "package/section_readers.h"
#include "run/bounded_text.h"
#include "run/status.h"
#include "run/user_texts.h"
#include "steps/backup_path.h"
#include "steps/phases.h"
#include "steps/read_registry_value.h"
#include "steps/target_path.h"

namespace brx {

namespace {

bool NotFound(System& system) {
  ShowStatus(system, "%s", kTargetNotFoundText);
  return false;
}

// The program's full path must fit a path buffer; one that does not cannot
// name the installed program. A program that waits under its backup name
// counts as present: an update killed between moving it aside and writing
// its successor leaves it there, and only the same update run again (whose
// file phase writes the program and then deletes that backup) can finish
// the job.
bool ProgramPresent(System& system, const RunState& run) {
  PathText path;
  if (!JoinTargetPath(run, run.target.programFile.c_str(), &path)) return false;
  if (system.PathExists(path.c_str())) return true;
  PathText backup;
  return FormBackupPath(path, &backup) && system.PathExists(backup.c_str());
}

}  // namespace

bool DiscoverTarget(System& system, RunState& run) {
  TargetInfo& target = run.target;
  target = TargetInfo{};
  SectionBlock section = LoadSection(run.package, kRegistryKeysSection);
  RegistryKeysItems keys;
  // A section missing any of its five items, or one that cannot be produced
  // (no memory for its block), cannot name a target: as absent.
  if (!section.loaded() || !ReadRegistryKeys(section.bytes(), &keys)) return NotFound(system);

  // A key path or level value name too long for its buffer cannot serve the
  // completion, which writes the level there: like a missing value, the
  // target is not found.
  const bool keysFit =
      target.keyPath.Assign(keys.keyPath) && target.levelValueName.Assign(keys.levelValueName);

  RegistryValueBuffer value;
  uint32_t type = 0;
  const bool folderRead = ReadRegistryValue(system, RegistryRoot::kLocalMachine, keys.keyPath,
                                            keys.folderValueName, &value, &type, false);
  // At most 512 characters and the backslash: always fits. This is the one
  // place the target folder is prepared; every step joins its paths to it.
  target.targetFolder.Assign(value.text());
  if (target.targetFolder.last() != '\\') target.targetFolder.AppendChar('\\');

  const bool programRead = ReadRegistryValue(system, RegistryRoot::kLocalMachine, keys.keyPath,
                                             keys.programValueName, &value, &type, false);
  if (programRead) target.programFile.Assign(value.text());  // at most 512 characters: fits

  target.packageLevel = keys.packageLevel;
  target.installedLevel = InstalledLevel(system, keys.keyPath, keys.levelValueName, &value);
  section.Release();

  if (!folderRead || !programRead || !keysFit) return NotFound(system);
  if (!ProgramPresent(system, run)) return NotFound(system);
  return true;
}

}  // namespace brx
