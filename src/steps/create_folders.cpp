#include "package/entry_lookup.h"
#include "package/section_names.h"
#include "package/section_readers.h"
#include "steps/phases.h"
#include "steps/target_path.h"

namespace brx {

void CreateFolders(System& system, RunState& run) {
  SectionBlock folders = LoadSection(run.package, kFoldersSection);
  if (folders.status() == SectionBlock::Status::kNotFound) return;
  // A list that cannot be produced (no memory for its block) creates no
  // folder. The files still make the folders they need, but a listed one
  // may be missing, so the update is not reported installed.
  if (!folders.loaded()) {
    run.MarkUpdateFailed();
    return;
  }
  PayloadCursor cursor(folders.bytes());
  PathText path;
  const char* folder;
  while (ReadListItem(cursor, &folder) == ReadStep::kItem) {
    // A folder that does not fit is passed over like one that cannot be
    // made; a file that needs it fails in the file phase.
    if (!JoinTargetPath(run, folder, &path)) continue;
    // Not looked at: an existing folder is the normal case, and a missing
    // parent shows up as a failed file later.
    system.CreateFolder(path.c_str());
  }
}

}  // namespace brx
