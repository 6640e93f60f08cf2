#pragma once
// The [brand] of a self-applying executable, read back from its installer's
// resources, so that manifest FILE.exe rebuilds the same brand.
#include <cstdint>
#include <string>
#include <vector>

#include "package/memory_range.h"

namespace brxpack {

struct RecoveredBrand {
  std::string table;          // "" when the installer carries its own brand
  std::vector<uint8_t> icon;  // the brand's icon as a .ico file, when the table names one
};

// The [brand] table for the manifest. The icon is given back to be written
// as `iconName` beside the manifest; with no name (a manifest printed, not
// written) the table says how to get it.
RecoveredBrand RecoverBrand(brx::MemoryRange stub, const std::string& iconName);

}  // namespace brxpack
