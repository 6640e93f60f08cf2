#include "package/entry_lookup.h"
#include "package/section_names.h"
#include "package/section_readers.h"
#include "steps/phases.h"
#include "steps/target_path.h"

namespace brx {

void RemoveFiles(System& system, RunState& run) {
  SectionBlock names = LoadSection(run.package, kFilesToRemoveSection);
  if (names.status() == SectionBlock::Status::kNotFound) return;
  // A list that cannot be produced (no memory for its block) removes
  // nothing; the files it names stay, so the update is not reported
  // installed and running it again removes them.
  if (!names.loaded()) {
    run.MarkUpdateFailed();
    return;
  }
  PayloadCursor cursor(names.bytes());
  PathText path;
  const char* name;
  while (ReadListItem(cursor, &name) == ReadStep::kItem) {
    if (!JoinTargetPath(run, name, &path)) continue;  // does not fit: passed over
    // Both calls for every name, without looking at what stands there: for a
    // file the folder removal fails harmlessly, for a folder the delete does.
    // Best-effort by design: nothing is reported or rolled back.
    system.DeletePath(path.c_str());
    system.RemoveFolder(path.c_str());
  }
}

}  // namespace brx
