#include "steps/registry_table.h"

#include <cstring>

#include "package/entry_lookup.h"
#include "package/format.h"
#include "package/section_names.h"
#include "package/section_readers.h"
#include "steps/parse_number.h"
#include "steps/phases.h"

namespace brx {

namespace {

// Only root 1 is the current user; 0, 2 and every other value select the machine.
RegistryRoot RootOf(uint32_t root) {
  return root == kRegistryRootCurrentUser ? RegistryRoot::kCurrentUser
                                          : RegistryRoot::kLocalMachine;
}

}  // namespace

void WriteRegistryValue(System& system, RegistryRoot root, const char* key, uint32_t type,
                        const char* valueName, const char* data) {
  RegistryKey opened = 0;
  if (system.CreateRegistryKey(root, key, &opened) != kRegistrySuccess) return;
  // What the writes return is not examined: the table is best-effort.
  if (type == kRegistryTypeNumber) {
    uint8_t number[4];
    WriteLe32(number, static_cast<uint32_t>(ParseNumber(data)));
    system.SetRegistryValue(opened, valueName, kRegDword, number, sizeof(number));
  } else if (type == kRegistryTypeText) {
    system.SetRegistryValue(opened, valueName, kRegSz, reinterpret_cast<const uint8_t*>(data),
                            static_cast<uint32_t>(std::strlen(data) + 1));
  }
  system.CloseRegistryKey(opened);
}

void ApplyRegistryTable(System& system, RunState& run) {
  SectionBlock table = LoadSection(run.package, kRegistryTableSection);
  if (table.status() == SectionBlock::Status::kNotFound) return;
  // A table that cannot be produced (no memory for its block) writes no
  // value; the update is not reported installed, so running it again
  // writes them. Values that were written stay: the table is best-effort.
  if (!table.loaded()) {
    run.MarkUpdateFailed();
    return;
  }
  PayloadCursor cursor(table.bytes());
  RegistryRecord record;
  // A record cut short by the block's end ends the table unapplied.
  while (ReadRegistryRecord(cursor, &record) == ReadStep::kItem) {
    if (record.operation != kRegistryOperationWrite) continue;  // stepped over
    WriteRegistryValue(system, RootOf(record.root), record.key, record.type, record.valueName,
                       record.data);
  }
}

}  // namespace brx
