#include "package/entry_lookup.h"
#include "package/section_names.h"
#include "steps/phases.h"

namespace brx {

bool LoadNameTable(RunState& run) {
  run.nameTable = LoadSection(run.package, kNameTableSection);
  // Without the section every entry keeps its own name.
  if (run.nameTable.status() == SectionBlock::Status::kNotFound) return true;
  return run.nameTable.loaded() && run.nameIndex.Build(run.nameTable.bytes());
}

const char* TranslateName(const RunState& run, const char* entryName) {
  return run.nameIndex.Translate(entryName);
}

}  // namespace brx
