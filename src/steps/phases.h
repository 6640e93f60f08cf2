#pragma once
// The installation phases in the order the driver runs them. Each phase
// reads its section through LoadSection and talks to Windows only through
// System.
#include "run/run_state.h"
#include "system/system.h"

namespace brx {

// Fills run.target from :RegistryKeys and the registry. False when the target
// is not found (the status line then says so); the run ends.
bool DiscoverTarget(System& system, RunState& run);

// Asks the package's question and warns about an installed level. False for
// a refusal (run.waitForButton is then cleared); the run ends.
bool ConfirmInstallation(System& system, RunState& run);

// Loads and indexes the package's name table. False when the table is there
// but its block or its index cannot be allocated: then no file's installed
// name is known.
bool LoadNameTable(RunState& run);
// The installed name of an entry: its translation or the name itself;
// nullptr when the name table's cut last pair may name it.
const char* TranslateName(const RunState& run, const char* entryName);
void CreateFolders(System& system, RunState& run);
void InstallFiles(System& system, RunState& run);
// A program that RunCommands starts reports failure by leaving this file in
// its current folder, the target folder.
inline constexpr char kCommandErrorFileName[] = "brx_patch_apply_err.txt";
void RunCommands(System& system, RunState& run);
void RemoveFiles(System& system, RunState& run);
void ApplyRegistryTable(System& system, RunState& run);
void CompleteUpdate(System& system, RunState& run);

}  // namespace brx
