#pragma once
// A manifest that rebuilds an equivalent package: every section (in a
// publisher's terms where those say exactly the same bytes, byte for byte
// otherwise) and every file entry with its entry name and storage, its bytes
// taken from where `brxpack extract` writes them.
#include <string>
#include <vector>

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

}  // namespace brxpack
