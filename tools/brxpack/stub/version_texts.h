#pragma once
// The texts of a version information resource (VS_VERSIONINFO), read back:
// "CompanyName" -> "Example Ltd", from its first string table.
#include <map>
#include <string>

#include "package/memory_range.h"

namespace brxpack {

// Every key and text of the first string table, as UTF-8. A node whose
// lengths pass its parent's end ends the walk there: what was read before
// it is kept, nothing past the resource's bytes is read.
std::map<std::string, std::string> VersionTextsOf(brx::MemoryRange versionInfo);

}  // namespace brxpack
