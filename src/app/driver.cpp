#include "app/driver.h"

#include "app/usage.h"
#include "run/bounded_text.h"
#include "run/user_texts.h"
#include "steps/phases.h"

namespace brx {

namespace {

// Opens the package. The program's own path as the command line gives it
// may name no file: typed without its extension ("update" for update.exe),
// or missing altogether. Then the package behind the program's own file is
// found through the module's file name, which always names it.
PackageError OpenRunPackage(System& system, const char* packageFile, PackageSource source,
                            Package* package) {
  const PackageError error = OpenPackage(system, packageFile, source, package);
  if (error != PackageError::kCannotOpen || source != PackageSource::kOwnFile) return error;
  char ownPath[PathText::kCapacity];
  if (!system.OwnProgramPath(ownPath, sizeof ownPath)) return error;
  return OpenPackage(system, ownPath, source, package);
}

}  // namespace

void ApplyPackage(System& system, RunState& run, const char* packageFile, PackageSource source) {
  // A failed open has released what it took. Every cause gets the one text
  // that tells how the program is meant to be called.
  if (OpenRunPackage(system, packageFile, source, &run.package) != PackageError::kNone) {
    ShowUsage(system);
    return;
  }
  run.packageOpened = true;
  // The name table belongs to reading the package: without it no file's
  // installed name is known, and an entry's own name may be the wrong path.
  // A table that cannot be loaded (no memory for its block or index) ends
  // the run before anything is asked or changed, as a package that cannot
  // be read does. Discovery needs it too, to know which files the package
  // writes.
  if (!LoadNameTable(run)) {
    ShowUsage(system);
    return;
  }
  if (!DiscoverTarget(system, run)) return;
  if (!ConfirmInstallation(system, run)) return;
  // From here on nothing ends the run early: failures only gather in
  // run.updateFailed, cleared here, which decides what completion does.
  run.updateFailed = 0;
  CreateFolders(system, run);
  InstallFiles(system, run);
  RunCommands(system, run);
  RemoveFiles(system, run);
  ApplyRegistryTable(system, run);
  CompleteUpdate(system, run);
}

void CloseInstallation(System& system, RunState& run, WorkerState& workerState) {
  run.nameIndex.Release();
  run.nameTable.Release();
  if (run.packageOpened) {
    ReleasePackage(system, &run.package);
    run.packageOpened = false;
  }
  system.ShowButton();
  system.SetButtonText(kButtonTextOk);
  // The hand-over: every window call of the run is done by now.
  workerState.store(run.waitForButton ? kFinished : kExit);
}

}  // namespace brx
