#include "brxpack/package/package_plan.h"

#include <map>
#include <set>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "brxpack/contents/display_text.h"
#include "brxpack/contents/package_path.h"
#include "brxpack/contents/section_bytes.h"
#include "brxpack/contents/windows1251.h"
#include "brxpack/manifest/file_candidates.h"
#include "package/entry_names.h"
#include "package/format.h"
#include "package/name_translation.h"
#include "package/section_names.h"
#include "package/section_readers.h"

namespace brxpack {

namespace {

// Gives every candidate an entry name: the one given, else its installed
// path when that fits the name field, else a generated name that no other
// entry has. Refuses (appending one line each) an entry name used twice (A
// to Z folded).
void NameEntries(std::vector<FileCandidate>& candidates, std::vector<std::string>& problems) {
  std::map<std::string, std::string> taken;  // folded name -> where it was given
  const auto take = [&](const std::string& name, const std::string& where) {
    auto [place, added] = taken.emplace(FoldedName(name), where);
    if (!added) {
      problems.push_back(where + ": entry name " + ShownName(name) + " is already used by " +
                         place->second);
    }
  };
  for (FileCandidate& candidate : candidates) {
    if (!candidate.entry && candidate.install->size() < brx::kEntryNameSize) {
      candidate.entry = candidate.install;
    }
    if (candidate.entry) take(*candidate.entry, candidate.where);
  }
  // Generated names come last, so that they step around every given one.
  unsigned number = 0;
  for (FileCandidate& candidate : candidates) {
    if (candidate.entry || !candidate.install) continue;
    std::string name;
    do {
      name = GeneratedEntryName(++number, *candidate.install);
    } while (taken.count(FoldedName(name)) != 0);
    take(name, candidate.where);
    candidate.entry = name;
  }
}

using NamePairs = std::vector<std::pair<std::string, std::string>>;

// The name table's pairs: the [[rename]] tables' first, then one for every
// named file whose entry name is not its installed path. A rename of a
// payload folder file is what moves it elsewhere; one that contradicts a
// [[file]]'s install, and one whose entry names no file of the build, are
// refused (appending a line to problems each).
NamePairs BuildNamePairs(const std::vector<NamePairItem>& renames,
                         const std::vector<FileCandidate>& candidates,
                         std::vector<std::string>& problems) {
  NamePairs pairs;
  std::vector<std::string> pairWhere;
  std::unordered_map<std::string, size_t> pairOf;  // folded entry name -> its first pair
  const auto add = [&](const std::string& entry, const std::string& install,
                       const std::string& where) {
    pairOf.emplace(FoldedName(entry), pairs.size());
    pairs.emplace_back(entry, install);
    pairWhere.push_back(where);
  };
  for (const NamePairItem& rename : renames) add(rename.entry, rename.install, rename.where);
  std::unordered_set<std::string> entries;
  for (const FileCandidate& candidate : candidates) {
    if (!candidate.entry) continue;
    const std::string& entry = *candidate.entry;
    entries.insert(FoldedName(entry));
    if (!candidate.install) continue;
    const auto match = pairOf.find(FoldedName(entry));
    if (match != pairOf.end()) {
      const size_t pair = match->second;
      // The same pair again, or a rename that moves a payload folder file.
      if (pairs[pair].second == *candidate.install || !candidate.installGiven) continue;
      problems.push_back(candidate.where + ": entry " + ShownName(entry) + " is installed as " +
                         ShownName(pairs[pair].second) + " by " + pairWhere[pair]);
      continue;
    }
    if (entry != *candidate.install) add(entry, *candidate.install, candidate.where);
  }
  for (const NamePairItem& rename : renames) {
    if (entries.count(FoldedName(rename.entry)) == 0) {
      problems.push_back(rename.where + ".entry: " + ShownName(rename.entry) +
                         " names no entry of the package, so its pair would never be used");
    }
  }
  return pairs;
}

// Where each installed path (as Windows compares paths) is given.
using InstalledBy = std::unordered_map<std::string, const std::string*>;

// The named candidates as planned files, installed where the installer will
// really put them: through the first name table among the sections, as it
// loads that, each recorded in `installedBy`. Refuses (appending a line
// each) an installed path that PackagePathProblem refuses and a second file
// at one path.
std::vector<PlannedFile> PlaceFiles(const std::vector<FileCandidate>& candidates,
                                    const std::vector<SectionEntry>& sections,
                                    InstalledBy& installedBy, std::vector<std::string>& problems) {
  SectionBytes table;
  for (const SectionEntry& section : sections) {
    if (brx::EntryNamesEqual(section.name.c_str(), brx::kNameTableSection)) {
      table = SectionBytes(section.payload);
      break;
    }
  }
  brx::NameTable names;
  if (!names.Build(table.range())) {
    problems.push_back("out of memory for the name table's index");
    return {};
  }
  std::vector<PlannedFile> files;
  files.reserve(candidates.size());
  for (const FileCandidate& candidate : candidates) {
    PlannedFile file;
    file.entryName = *candidate.entry;
    // The table is encoded from whole pairs here, so no pair is cut and
    // every entry has an installed name.
    const char* installed = names.Translate(file.entryName.c_str());
    file.installedPath = installed != nullptr ? installed : file.entryName;
    file.source = candidate.source;
    file.stored = candidate.stored;
    file.size = candidate.size;
    const std::string shown = "installed path " + ShownName(file.installedPath);
    if (std::optional<std::string> problem =
            PackagePathProblem(file.installedPath, PathUse::kInstalledFile)) {
      problems.push_back(candidate.where + ": " + shown + " " + *problem);
    } else {
      auto [place, added] =
          installedBy.emplace(InstalledPathKey(file.installedPath), &candidate.where);
      if (!added) {
        problems.push_back(candidate.where + ": " + shown + " is already installed by " +
                           *place->second);
      }
    }
    files.push_back(std::move(file));
  }
  return files;
}

Error Failure(const std::vector<std::string>& problems) {
  std::string text;
  for (const std::string& line : problems) text += (text.empty() ? "" : "\n") + line;
  return Error{text};
}

// A program run from the program's folder that the package does not bring
// may be there already, or may be a typo: worth a warning, not a refusal.
void WarnOfMissingPrograms(const ScriptSections& script, const InstalledBy& installedBy,
                           std::vector<std::string>& warnings) {
  if (!script.commands) return;
  for (size_t i = 0; i < script.commands->size(); ++i) {
    const brx::CommandInput& command = (*script.commands)[i];
    if ((command.flags & brx::kCommandRelative) == 0) continue;
    if (installedBy.count(InstalledPathKey(command.program)) != 0) continue;
    warnings.push_back(script.commandWhere[i] + ".program: " + ShownName(command.program) +
                       " is not among the package's files; it must already be in the "
                       "program's folder");
  }
}

// The installer removes after it installs, so a file both installed and
// removed (as Windows compares paths) would be gone when the update ends.
void RefuseRemovedFiles(const ScriptSections& script, const InstalledBy& installedBy,
                        std::vector<std::string>& problems) {
  if (!script.removals) return;
  for (size_t i = 0; i < script.removals->size(); ++i) {
    const std::string& removal = (*script.removals)[i];
    const auto installed = installedBy.find(InstalledPathKey(removal));
    if (installed == installedBy.end()) continue;
    problems.push_back("remove.paths[" + std::to_string(i + 1) + "]: " + ShownName(removal) +
                       " is installed by " + *installed->second +
                       ", and removing it after the files would leave the update without it");
  }
}

// One warning for each section whose name (A to Z folded) an earlier one
// already has: the installer never reads it.
std::vector<std::string> RepeatedSectionWarnings(const std::vector<SectionEntry>& sections) {
  std::vector<std::string> warnings;
  std::set<std::string> seen;
  for (const SectionEntry& section : sections) {
    if (!seen.insert(FoldedName(section.name)).second) {
      warnings.push_back("section " + ShownName(section.name) +
                         " repeats an earlier section of that name; the installer never reads it");
    }
  }
  return warnings;
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

std::vector<SectionEntry> EncodeScriptSections(
    const ScriptSections& script, const std::vector<std::pair<std::string, std::string>>& pairs) {
  std::vector<SectionEntry> sections;
  if (script.target) {
    sections.push_back({brx::kRegistryKeysSection, brx::EncodeRegistryKeys(*script.target)});
  }
  if (script.startup) {
    sections.push_back(
        {brx::kStartupMsgSection,
         brx::EncodeStartupMessage(script.startup->caption, script.startup->question)});
  }
  if (!pairs.empty()) sections.push_back({brx::kNameTableSection, brx::EncodeNameTable(pairs)});
  if (script.folders) {
    sections.push_back({brx::kFoldersSection, brx::EncodeTextList(*script.folders)});
  }
  if (script.commands) {
    sections.push_back({brx::kCommandsSection, brx::EncodeCommands(*script.commands)});
  }
  if (script.removals) {
    sections.push_back({brx::kFilesToRemoveSection, brx::EncodeTextList(*script.removals)});
  }
  if (script.registry) {
    sections.push_back({brx::kRegistryTableSection, brx::EncodeRegistryTable(*script.registry)});
  }
  for (const RawSection& raw : script.raw) sections.push_back({raw.name, raw.bytes});
  return sections;
}

std::string GeneratedEntryName(unsigned number, const std::string& installedPath) {
  const std::string prefix = "~" + std::to_string(number) + "~";
  const size_t slash = installedPath.find_last_of("\\/");
  const std::string base =
      slash == std::string::npos ? installedPath : installedPath.substr(slash + 1);
  const size_t room = brx::kEntryNameSize - 1 - prefix.size();
  if (base.size() <= room) return prefix + base;
  // The start of the name and its extension say most about the file.
  const size_t dot = base.find_last_of('.');
  const std::string extension =
      dot != std::string::npos && base.size() - dot <= 8 ? base.substr(dot) : "";
  return prefix + base.substr(0, room - extension.size()) + extension;
}

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
  InstalledBy installedBy;
  plan.files = PlaceFiles(candidates, plan.sections, installedBy, problems);
  if (problems.empty()) RefuseRemovedFiles(manifest.script, installedBy, problems);
  if (!problems.empty()) return Failure(problems);
  plan.warnings = RepeatedSectionWarnings(plan.sections);
  WarnOfLengths(manifest.script, candidates, plan.files, plan.warnings);
  WarnOfMissingPrograms(manifest.script, installedBy, plan.warnings);
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

Result<uint64_t> PackageSize(const Manifest& manifest, int level, unsigned threads,
                             const std::filesystem::path& scratch, const ProgressTarget& progress) {
  Result<PackagePlan> plan = PlanPackage(manifest);
  if (!plan.ok()) return plan.TakeError();
  Result<AtomicOutputFile> output = AtomicOutputFile::Create(scratch / "measured.brx");
  if (!output.ok()) return output.TakeError();
  StreamWriterOptions options;
  options.compression.level = level;
  options.threads = threads;
  ProgressMeter meter(progress, plan->FileBytes());
  options.progress = &meter;
  Result<std::vector<WrittenEntry>> written =
      WritePackageStream(EntriesToWrite(*plan), options, *output);
  if (!written.ok()) return written.TakeError();
  return output->written();  // never committed: the file goes with the object
}

}  // namespace brxpack
