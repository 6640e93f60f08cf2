#include "app/worker.h"

#include "app/builder.h"
#include "app/command_line.h"
#include "app/driver.h"
#include "app/usage.h"
#include "run/run_state.h"

namespace brx {

namespace {

// Runs the chosen mode; the run's end is left to the caller.
void RunChosenMode(System& system, const ArgumentList& arguments, bool split, RunState& run) {
  // A command line that could not be split in full cannot be trusted to
  // choose a mode; the usage text asks for a fresh start.
  const RunMode mode = split ? SelectRunMode(arguments) : RunMode::kUsage;
  switch (mode) {
    case RunMode::kApplyOwnFile:
      // No argument at all means no file name: the empty name fails to open,
      // which ends in the usage text.
      ApplyPackage(system, run, arguments.count != 0 ? arguments.items[0] : "",
                   PackageSource::kOwnFile);
      break;
    case RunMode::kApplyPackageFile:
      ApplyPackage(system, run, arguments.items[1], PackageSource::kPackageFile);
      break;
    case RunMode::kBuild:
      // Success or failure alike, the window closes without a word.
      BuildSelfApplying(system, arguments.items[0], arguments.items[1], arguments.items[2]);
      run.waitForButton = false;
      break;
    case RunMode::kUsage:
      ShowUsage(system);
      break;
  }
}

}  // namespace

void RunWorker(System& system, const char* commandLine, WorkerState& workerState) {
  RunState run;  // waitForButton starts true
  ArgumentList arguments;
  const bool split = SplitCommandLine(commandLine, &arguments);
  RunChosenMode(system, arguments, split, run);
  ReleaseArguments(&arguments);
  CloseInstallation(system, run, workerState);
}

}  // namespace brx
