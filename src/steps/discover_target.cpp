// Target discovery: where the program to be updated lives, which patch level
// it has, and which level this package brings.
#include "package/entry_names.h"
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

// Whether a file entry of the package is installed at the program's path:
// its installed name, past one leading backslash, is the program file's
// name as Windows compares names (A to Z folded).
bool PackageWritesProgram(const RunState& run) {
  const char* program = run.target.programFile.c_str();
  for (uint32_t index = 0; index < run.package.entryCount(); ++index) {
    const DirectoryEntry& entry = run.package.directory[index];
    if (entry.IsSection()) continue;
    const char* installed = TranslateName(run, entry.name);
    if (installed == nullptr) continue;
    if (installed[0] == '\\') ++installed;
    if (EntryNamesEqual(installed, program)) return true;
  }
  return false;
}

// The program's full path must fit a path buffer; one that does not cannot
// name the installed program. A program that waits under its backup name
// counts as present only for a package that writes the program: an update
// killed between moving it aside and writing its successor leaves it there,
// and only that update run again can finish the job. For any other package
// the program is missing.
bool ProgramPresent(System& system, const RunState& run) {
  PathText path;
  if (!JoinTargetPath(run, run.target.programFile.c_str(), &path)) return false;
  if (system.PathExists(path.c_str())) return true;
  PathText backup;
  return FormBackupPath(path, &backup) && PackageWritesProgram(run) &&
         system.PathExists(backup.c_str());
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
