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

// One warning for each section whose name (A to Z folded) an earlier one
// already has: the installer never reads it.
std::vector<std::string> RepeatedSectionWarnings(const std::vector<SectionEntry>& sections);

}  // namespace brxpack
