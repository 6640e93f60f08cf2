#pragma once
// A manifest that rebuilds an equivalent package: every section (in a
// publisher's terms where those say exactly the same bytes, byte for byte
// otherwise) and every file entry with its entry name and storage, its bytes
// taken from where `brxpack extract` writes them; for a self-applying
// executable, its [brand] read back from the installer's resources.
#include <cstdint>
#include <string>
#include <vector>

#include "package/memory_range.h"
#include "package/reader.h"

namespace brxpack {

struct ExportedManifest {
  std::string text;
  std::vector<std::string> warnings;  // what the manifest cannot carry
};

// payloadFolder: the folder (relative to the manifest) that holds the
// extracted files.
ExportedManifest ExportManifest(const brx::Package& package, const std::string& shownFile,
                                const std::string& payloadFolder);

struct RecoveredBrand {
  std::string table;          // "" when the installer carries its own brand
  std::vector<uint8_t> icon;  // the brand's icon as a .ico file, when the table names one
};

// The [brand] table for the manifest. The icon is given back to be written
// as `iconName` beside the manifest; with no name (a manifest printed, not
// written) the table says how to get it.
RecoveredBrand RecoverBrand(brx::MemoryRange stub, const std::string& iconName);

}  // namespace brxpack
