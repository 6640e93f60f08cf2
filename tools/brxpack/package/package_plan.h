#pragma once
// Turns a manifest into the entries of a package: the encoded script
// sections and the file entries with their entry names and installed paths.
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "brxpack/host/progress_meter.h"
#include "brxpack/manifest/manifest.h"
#include "brxpack/package/package_stream_writer.h"
#include "brxpack/result.h"

namespace brxpack {

struct SectionEntry {
  std::string name;
  std::vector<uint8_t> payload;
};

// The script sections a build writes, encoded from the manifest's tables in
// their fixed order, with the given name table pairs; raw sections follow
// the others.
std::vector<SectionEntry> EncodeScriptSections(
    const ScriptSections& script, const std::vector<std::pair<std::string, std::string>>& pairs);

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

  // The bytes of every file: what a build reads, and its progress counts.
  uint64_t FileBytes() const {
    uint64_t total = 0;
    for (const PlannedFile& file : files) total += file.size;
    return total;
  }
};

// Fails with every problem of the first phase that has any (gathering the
// files, naming them, pairing names, placing them), one line each.
Result<PackagePlan> PlanPackage(const Manifest& manifest);

// An entry name for a file whose installed path is too long for the 32-byte
// name field: "~N~" and as much of the end of the file's own name as fits.
std::string GeneratedEntryName(unsigned number, const std::string& installedPath);

// The plan's entries in the order they are written: sections, then files.
std::vector<EntryToWrite> EntriesToWrite(const PackagePlan& plan);

// How large a manifest's package comes out, written exactly as build writes
// it (the same plan, writer and level) into a file in `scratch` that is then
// dropped.
Result<uint64_t> PackageSize(const Manifest& manifest, int level, unsigned threads,
                             const std::filesystem::path& scratch,
                             const ProgressTarget& progress = {});

}  // namespace brxpack
