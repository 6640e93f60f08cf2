#include "section_bytes.h"

#include "package/entry_lookup.h"
#include "package/payload_cursor.h"
#include "package/section_readers.h"

namespace brxpack {

std::optional<SectionBytes> ProduceEntry(const brx::Package& package,
                                         const brx::DirectoryEntry& entry) {
  std::vector<uint8_t> bytes(entry.size);
  if (!brx::ExtractEntry(package, entry, bytes.data())) return std::nullopt;
  return SectionBytes(bytes);
}

std::string TranslateEntryName(brx::MemoryRange nameTable, const std::string& entryName) {
  brx::PayloadCursor cursor(nameTable);
  brx::NamePair pair;
  while (brx::ReadNamePair(cursor, &pair)) {
    if (brx::EntryNamesEqual(pair.source, entryName.c_str())) return pair.installed;
  }
  return entryName;
}

}  // namespace brxpack
