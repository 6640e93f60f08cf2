#include "package/name_translation.h"

#include "package/entry_names.h"
#include "package/payload_cursor.h"
#include "package/section_readers.h"

namespace brx {

const char* InstalledName(MemoryRange nameTable, const char* entryName) {
  PayloadCursor cursor(nameTable);
  NamePair pair;
  while (ReadNamePair(cursor, &pair)) {
    if (EntryNamesEqual(pair.source, entryName)) return pair.installed;
  }
  return entryName;
}

}  // namespace brx
