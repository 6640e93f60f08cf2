#include "brxpack/package/package_plan.h"

#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "brxpack/package/entry_naming.h"
#include "brxpack/manifest/file_candidates.h"
#include "brxpack/package/name_pairs.h"
#include "brxpack/contents/display_text.h"
#include "brxpack/contents/package_path.h"
#include "package/section_readers.h"

namespace brxpack {

namespace {

Error Failure(const std::vector<std::string>& problems) {
  std::string text;
  for (const std::string& line : problems) text += (text.empty() ? "" : "\n") + line;
  return Error{text};
}

// A program run from the program's folder that the package does not bring
// may be there already, or may be a typo: worth a warning, not a refusal.
void WarnOfMissingPrograms(const ScriptSections& script, const std::vector<PlannedFile>& files,
                           std::vector<std::string>& warnings) {
  if (!script.commands) return;
  std::unordered_set<std::string> installed;
  for (const PlannedFile& file : files) installed.insert(InstalledPathKey(file.installedPath));
  for (size_t i = 0; i < script.commands->size(); ++i) {
    const brx::CommandInput& command = (*script.commands)[i];
    if ((command.flags & brx::kCommandRelative) == 0) continue;
    if (installed.count(InstalledPathKey(command.program)) != 0) continue;
    warnings.push_back(script.commandWhere[i] + ".program: " + ShownName(command.program) +
                       " is not among the package's files; it must already be in the "
                       "program's folder");
  }
}

// The installer removes after it installs, so a file both installed and
// removed (as Windows compares paths) would be gone when the update ends.
void RefuseRemovedFiles(const ScriptSections& script, const std::vector<FileCandidate>& candidates,
                        const std::vector<PlannedFile>& files, std::vector<std::string>& problems) {
  if (!script.removals) return;
  std::unordered_map<std::string, const std::string*> installedBy;
  for (size_t i = 0; i < files.size() && i < candidates.size(); ++i) {
    installedBy.emplace(InstalledPathKey(files[i].installedPath), &candidates[i].where);
  }
  for (size_t i = 0; i < script.removals->size(); ++i) {
    const std::string& removal = (*script.removals)[i];
    const auto installed = installedBy.find(InstalledPathKey(removal));
    if (installed == installedBy.end()) continue;
    problems.push_back("remove.paths[" + std::to_string(i + 1) + "]: " + ShownName(removal) +
                       " is installed by " + *installed->second +
                       ", and removing it after the files would leave the update without it");
  }
}

// Paths that fit below C:\ but not below a long program folder.
void WarnOfLengths(const ScriptSections& script, const std::vector<FileCandidate>& candidates,
                   const std::vector<PlannedFile>& files, std::vector<std::string>& warnings) {
  for (size_t i = 0; i < files.size() && i < candidates.size(); ++i) {
    if (std::optional<std::string> warning =
            PathLengthWarning(files[i].installedPath, PathUse::kInstalledFile)) {
      warnings.push_back(candidates[i].where + ": installed path " +
                         ShownName(files[i].installedPath) + " " + *warning);
    }
  }
  for (const auto& [paths, field, use] :
       {std::tuple{&script.folders, "folders.create", PathUse::kFolder},
        std::tuple{&script.removals, "remove.paths", PathUse::kRemoval}}) {
    if (!*paths) continue;
    for (size_t i = 0; i < (*paths)->size(); ++i) {
      const std::string& path = (**paths)[i];
      if (std::optional<std::string> warning = PathLengthWarning(path, use)) {
        warnings.push_back(std::string(field) + "[" + std::to_string(i + 1) +
                           "]: " + ShownName(path) + " " + *warning);
      }
    }
  }
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
  if (problems.empty()) RefuseRemovedFiles(manifest.script, candidates, plan.files, problems);
  if (!problems.empty()) return Failure(problems);
  plan.warnings = RepeatedSectionWarnings(plan.sections);
  WarnOfLengths(manifest.script, candidates, plan.files, plan.warnings);
  WarnOfMissingPrograms(manifest.script, plan.files, plan.warnings);
  return plan;
}

std::vector<EntryToWrite> EntriesToWrite(const PackagePlan& plan) {
  std::vector<EntryToWrite> entries;
  for (const SectionEntry& section : plan.sections) {
    EntryToWrite& entry = entries.emplace_back();
    entry.name = section.name;
    entry.bytes = section.payload;
  }
  for (const PlannedFile& file : plan.files) {
    EntryToWrite& entry = entries.emplace_back();
    entry.name = file.entryName;
    entry.fromFile = true;
    entry.file = file.source;
    entry.listedSize = file.size;
    entry.stored = file.stored;
  }
  return entries;
}

}  // namespace brxpack
