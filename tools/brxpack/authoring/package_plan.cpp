#include "brxpack/authoring/package_plan.h"

#include "brxpack/authoring/entry_naming.h"
#include "brxpack/authoring/file_candidates.h"
#include "brxpack/authoring/name_pairs.h"

namespace brxpack {

namespace {

Error Failure(const std::vector<std::string>& problems) {
  std::string text;
  for (const std::string& line : problems) text += (text.empty() ? "" : "\n") + line;
  return Error{text};
}

}  // namespace

Result<PackagePlan> PlanPackage(const Manifest& manifest) {
  std::vector<std::string> problems;
  std::vector<FileCandidate> candidates = GatherFileCandidates(manifest, problems);
  if (!problems.empty()) return Failure(problems);
  NameEntries(candidates, problems);
  if (!problems.empty()) return Failure(problems);
  const NamePairs pairs = BuildNamePairs(manifest.script.renames, candidates, problems);
  if (!problems.empty()) return Failure(problems);
  PackagePlan plan;
  plan.sections = EncodeScriptSections(manifest.script, pairs);
  plan.files = PlaceFiles(candidates, plan.sections, problems);
  if (!problems.empty()) return Failure(problems);
  plan.warnings = RepeatedSectionWarnings(plan.sections);
  return plan;
}

std::vector<EntryToWrite> EntriesToWrite(const PackagePlan& plan) {
  std::vector<EntryToWrite> entries;
  for (const SectionEntry& section : plan.sections) {
    EntryToWrite entry;
    entry.name = section.name;
    entry.bytes = section.payload;
    entries.push_back(std::move(entry));
  }
  for (const PlannedFile& file : plan.files) {
    EntryToWrite entry;
    entry.name = file.entryName;
    entry.fromFile = true;
    entry.file = file.source;
    entry.stored = file.stored;
    entries.push_back(std::move(entry));
  }
  return entries;
}

}  // namespace brxpack
