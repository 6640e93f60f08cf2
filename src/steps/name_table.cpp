#include "package/entry_lookup.h"
#include "package/section_names.h"
#include "steps/phases.h"

namespace brx {

void LoadNameTable(RunState& run) {
  run.nameTable = LoadSection(run.package, kNameTableSection);
  // Without the section every entry keeps its own name. A table that is
  // there but whose block or index cannot be allocated leaves every
  // installed name unknown: an entry's own name may be the wrong path, so
  // the file phase then fails each file without touching it, and the
  // update is not reported installed.
  run.namesKnown = run.nameTable.status() == SectionBlock::Status::kNotFound ||
                   (run.nameTable.loaded() && run.nameIndex.Build(run.nameTable.bytes()));
}

const char* TranslateName(const RunState& run, const char* entryName) {
  return run.namesKnown ? run.nameIndex.Translate(entryName) : nullptr;
}

}  // namespace brx
