#pragma once
// Name translation: the name under which a file entry is installed, read
// from the :XlatNamesTable payload.
#include "package/memory_range.h"

namespace brx {

// The installed name of the file entry entryName: the installed name of the
// first pair whose source name equals it (whole name, A to Z folded), or
// entryName itself. The table is the section's payload followed in memory by
// a zero byte, as every section block is; an empty range holds no pairs. The
// result points into the table or is entryName; nothing is allocated.
const char* InstalledName(MemoryRange nameTable, const char* entryName);

}  // namespace brx
