#include "app/driver.h"

#include "app/usage.h"
#include "run/user_texts.h"
#include "steps/phases.h"

namespace brx {

void ApplyPackage(System& system, RunState& run, const char* packageFile, PackageSource source) {
  // A failed open has released what it took. Every cause gets the one text
  // that tells how the program is meant to be called.
  if (OpenPackage(system, packageFile, source, &run.package) != PackageError::kNone) {
    ShowUsage(system);
    return;
  }
  run.packageOpened = true;
  if (!DiscoverTarget(system, run)) return;
  if (!ConfirmInstallation(system, run)) return;
  // From here on nothing ends the run early: failures only gather in
  // run.updateFailed, cleared here, which decides what completion does.
  LoadNameTable(run);
  run.updateFailed = 0;
  CreateFolders(system, run);
  InstallFiles(system, run);
  RunCommands(system, run);
  RemoveFiles(system, run);
  ApplyRegistryTable(system, run);
  CompleteUpdate(system, run);
  run.nameIndex.Release();
  run.nameTable.Release();
}

void CloseInstallation(System& system, RunState& run, WorkerState& workerState) {
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
