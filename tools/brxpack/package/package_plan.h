#pragma once
// Turns a manifest into the entries of a package: the encoded script
// sections and the file entries with their entry names and installed paths.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "brxpack/manifest/manifest.h"
#include "brxpack/package/package_stream_writer.h"
#include "brxpack/package/script_sections.h"
#include "brxpack/result.h"

namespace brxpack {

struct PlannedFile {
  std::string entryName;      // Windows-1251, at most 31 bytes
  std::string installedPath;  // Windows-1251, through the package's name table
  std::filesystem::path source;
  bool stored = false;
  uint64_t size = 0;
};

struct PackagePlan {
  std::vector<SectionEntry> sections;  // in the order they are written
  std::vector<PlannedFile> files;
  std::vector<std::string> warnings;
};

// Fails with every problem of the first phase that has any (gathering the
// files, naming them, pairing names, placing them), one line each.
Result<PackagePlan> PlanPackage(const Manifest& manifest);

// An entry name for a file whose installed path is too long for the 32-byte
// name field: "~N~" and as much of the end of the file's own name as fits.
std::string GeneratedEntryName(unsigned number, const std::string& installedPath);

// The plan's entries in the order they are written: sections, then files.
std::vector<EntryToWrite> EntriesToWrite(const PackagePlan& plan);

}  // namespace brxpack
