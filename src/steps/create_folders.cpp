#include "package/entry_lookup.h"
#include "package/payload_cursor.h"
#include "package/section_names.h"
#include "steps/phases.h"
#include "steps/target_path.h"

namespace brx {

namespace {

// The folder copy for the later steps, ending in a backslash. A folder that
// does not fit leaves the copy empty, which every step then treats as a path
// that does not fit.
void PrepareTargetFolder(RunState& run) {
  run.targetFolder.Clear();
  if (run.target.targetFolder == nullptr) return;
  if (!run.targetFolder.Assign(run.target.targetFolder)) return;
  if (run.targetFolder.last() != '\\' && !run.targetFolder.AppendChar('\\')) {
    run.targetFolder.Clear();
  }
}

}  // namespace

void CreateFolders(System& system, RunState& run) {
  PrepareTargetFolder(run);
  run.updateFailed = 0;

  SectionBlock folders = LoadSection(run.package, kFoldersSection);
  if (!folders.loaded()) return;
  PayloadCursor cursor(folders.bytes());
  PathText path;
  while (const char* folder = cursor.ReadListItem()) {
    // A folder that does not fit is passed over like one that cannot be
    // made; a file that needs it fails in the file phase.
    if (!JoinTargetPath(run, folder, &path)) continue;
    // Not looked at: an existing folder is the normal case, and a missing
    // parent shows up as a failed file later.
    system.CreateFolder(path.c_str());
  }
}

}  // namespace brx
