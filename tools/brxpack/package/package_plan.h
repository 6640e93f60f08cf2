#pragma once
// Turns a manifest into the entries of a package: the encoded script
// sections and the file entries with their entry names and installed paths.
#include <string>
#include <vector>

#include "brxpack/package/entry_preparation.h"
#include "brxpack/package/file_placement.h"
#include "brxpack/manifest/manifest.h"
#include "brxpack/package/script_sections.h"
#include "brxpack/result.h"

namespace brxpack {

struct PackagePlan {
  std::vector<SectionEntry> sections;  // in the order they are written
  std::vector<PlannedFile> files;
  std::vector<std::string> warnings;
};

// Fails with every problem of the first phase that has any (gathering the
// files, naming them, pairing names, placing them), one line each.
Result<PackagePlan> PlanPackage(const Manifest& manifest);

// The plan's entries in the order they are written: sections, then files.
std::vector<EntryToWrite> EntriesToWrite(const PackagePlan& plan);

}  // namespace brxpack
