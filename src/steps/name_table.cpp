#include "package/entry_lookup.h"
#include "package/name_translation.h"
#include "package/section_names.h"
#include "steps/phases.h"

namespace brx {

void LoadNameTable(RunState& run) {
  run.nameTable = LoadSection(run.package, kNameTableSection);
  // An absent section (or one that cannot be produced) translates nothing.
  // Should even the empty block fail to allocate, TranslateName reads an
  // unloaded block as a table without pairs.
  if (!run.nameTable.loaded()) run.nameTable = SectionBlock::Empty();
}

const char* TranslateName(const RunState& run, const char* entryName) {
  return InstalledName(run.nameTable.bytes(), entryName);
}

}  // namespace brx
