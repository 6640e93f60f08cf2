#pragma once
// The [brand] of a self-applying executable, read back from its installer's
// version information, so that manifest FILE.exe rebuilds the same brand.
#include <string>

#include "package/memory_range.h"

namespace brxpack {

// A [brand] table for the manifest, or "" when the installer carries its
// own version information (or none to read). The icon cannot be said in a
// manifest without its file, so the table says so in a comment.
std::string RecoveredBrand(brx::MemoryRange stub);

}  // namespace brxpack
