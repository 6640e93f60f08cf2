#pragma once
// Turns a manifest into the entries of a package: the encoded script
// sections and the file entries with their entry names and installed paths.
// Long installed paths get generated entry names and name table pairs here.
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "brxpack/authoring/manifest.h"
#include "brxpack/result.h"

namespace brxpack {

struct SectionEntry {
  std::string name;
  std::vector<uint8_t> payload;
};

struct PlannedFile {
  std::string entryName;      // Windows-1251, at most 31 bytes
  std::string installedPath;  // Windows-1251, through the package's name table
  std::filesystem::path source;
  std::string shownSource;  // UTF-8, for messages
  bool stored = false;
  uint64_t size = 0;
};

struct PackagePlan {
  std::vector<SectionEntry> sections;  // in the order they are written
  std::vector<PlannedFile> files;
  std::vector<std::string> warnings;
};

Result<PackagePlan> PlanPackage(const Manifest& manifest);

// The sections a build writes for the script, in their fixed order, with
// the given name table pairs; raw sections follow the others.
std::vector<SectionEntry> EncodeScriptSections(
    const ScriptSections& script, const std::vector<std::pair<std::string, std::string>>& pairs);

// An entry name for a file whose installed path is too long for the 32-byte
// name field: "~N~" and as much of the end of the file's own name as fits.
std::string GeneratedEntryName(unsigned number, const std::string& installedPath);

}  // namespace brxpack
