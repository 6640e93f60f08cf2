#pragma once
// The script sections a build writes, encoded from the manifest's tables.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "brxpack/manifest/manifest.h"

namespace brxpack {

struct SectionEntry {
  std::string name;
  std::vector<uint8_t> payload;
};

// In their fixed order, with the given name table pairs; raw sections
// follow the others.
std::vector<SectionEntry> EncodeScriptSections(
    const ScriptSections& script, const std::vector<std::pair<std::string, std::string>>& pairs);

}  // namespace brxpack
