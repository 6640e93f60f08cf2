#include "brxpack/authoring/package_plan.h"

#include <map>
#include <optional>
#include <system_error>

#include "brxpack/authoring/payload_folder.h"
#include "brxpack/contents/display_text.h"
#include "brxpack/contents/folded_name.h"
#include "brxpack/contents/installed_path.h"
#include "brxpack/contents/section_bytes.h"
#include "brxpack/contents/windows1251.h"
#include "brxpack/host/host_path.h"
#include "package/entry_lookup.h"
#include "package/format.h"
#include "package/name_translation.h"
#include "package/section_names.h"

namespace brxpack {

namespace {

// A file entry on its way to the plan.
struct Candidate {
  std::optional<std::string> entry;
  std::optional<std::string> install;
  bool installGiven = false;  // by a [[file]] table, not derived from the payload folder
  std::filesystem::path source;
  std::string shown;
  std::string where;
  bool stored = false;
  uint64_t size = 0;
};

std::string BackslashPath(const std::string& relativeUtf8) {
  std::string path = relativeUtf8;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string Shown(const std::string& windows1251) {
  return Enclosed('\'', Windows1251ToUtf8(windows1251));
}

class Planner {
 public:
  explicit Planner(const Manifest& manifest) : manifest_(manifest) {}

  Result<PackagePlan> Run() {
    GatherPayloadFolder();
    GatherExplicitFiles();
    if (!problems_.empty()) return Failure();
    NameEntries();
    if (!problems_.empty()) return Failure();
    const std::vector<std::pair<std::string, std::string>> pairs = BuildPairs();
    if (!problems_.empty()) return Failure();
    plan_.sections = EncodeScriptSections(manifest_.script, pairs);
    PlaceFiles();
    WarnAboutRepeatedSections();
    if (!problems_.empty()) return Failure();
    return std::move(plan_);
  }

 private:
  Error Failure() const {
    std::string text;
    for (const std::string& line : problems_) text += (text.empty() ? "" : "\n") + line;
    return Error{text};
  }

  void GatherPayloadFolder() {
    if (!manifest_.payloadFolder) return;
    const std::filesystem::path folder = manifest_.folder / PathFromUtf8(*manifest_.payloadFolder);
    Result<std::vector<PayloadFile>> files = ScanPayloadFolder(folder, manifest_.payloadWhere);
    if (!files.ok()) {
      problems_.push_back(files.error());
      return;
    }
    for (PayloadFile& file : *files) {
      Candidate candidate;
      candidate.source = file.path;
      candidate.shown = Utf8FromPath(file.path);
      candidate.where = candidate.shown;
      candidate.size = file.size;
      Result<std::string> install = Utf8ToWindows1251(BackslashPath(file.relative));
      if (!install.ok()) {
        problems_.push_back(candidate.shown + ": the file's name: " + install.error());
        continue;
      }
      candidate.install = *install;
      candidates_.push_back(std::move(candidate));
    }
    payloadCount_ = candidates_.size();
  }

  void GatherExplicitFiles() {
    for (const FileItem& item : manifest_.files) {
      Candidate candidate;
      candidate.source = manifest_.folder / PathFromUtf8(item.source);
      candidate.shown = Utf8FromPath(candidate.source);
      candidate.where = item.where;
      candidate.entry = item.entry;
      candidate.install = item.install;
      candidate.installGiven = item.install.has_value();
      candidate.stored = item.stored;
      std::error_code error;
      if (!std::filesystem::is_regular_file(candidate.source, error)) {
        problems_.push_back(item.where + ".source: " + candidate.shown + ": no such file");
        continue;
      }
      candidate.size = std::filesystem::file_size(candidate.source, error);
      if (error) {
        problems_.push_back(item.where + ".source: " + candidate.shown +
                            ": cannot read its size: " + SystemErrorText(error));
        continue;
      }
      // A hand-written entry for a file of the payload folder replaces it,
      // which is how a payload file gets its own settings.
      if (candidate.install) {
        const std::string key = FoldedName(*candidate.install);
        for (size_t i = 0; i < payloadCount_; ++i) {
          if (candidates_[i].install && FoldedName(*candidates_[i].install) == key) {
            candidates_.erase(candidates_.begin() + static_cast<std::ptrdiff_t>(i));
            --payloadCount_;
            break;
          }
        }
      }
      candidates_.push_back(std::move(candidate));
    }
  }

  void NameEntries() {
    std::map<std::string, std::string> taken;  // folded name -> where it was given
    const auto take = [&](const std::string& name, const std::string& where) {
      auto [place, added] = taken.emplace(FoldedName(name), where);
      if (!added) {
        problems_.push_back(where + ": entry name " + Shown(name) + " is already used by " +
                            place->second);
      }
    };
    for (Candidate& candidate : candidates_) {
      if (candidate.install) {
        if (std::optional<std::string> problem = InstalledPathProblem(*candidate.install)) {
          problems_.push_back(candidate.where + ": installed path " + Shown(*candidate.install) +
                              " " + *problem);
          continue;
        }
      }
      if (candidate.size == 0) {
        problems_.push_back(candidate.where + ": " + candidate.shown +
                            " is empty; the installer cannot write a file of 0 bytes");
      }
      if (!candidate.entry && candidate.install->size() < brx::kEntryNameSize) {
        candidate.entry = candidate.install;
      }
      if (candidate.entry) take(*candidate.entry, candidate.where);
    }
    unsigned number = 0;
    for (Candidate& candidate : candidates_) {
      if (candidate.entry || !candidate.install) continue;
      std::string name;
      do {
        name = GeneratedEntryName(++number, *candidate.install);
      } while (taken.count(FoldedName(name)) != 0);
      take(name, candidate.where);
      candidate.entry = name;
    }
  }

  // The hand-written pairs first, then one for every file whose entry name
  // is not its installed path. A hand-written pair for a payload folder
  // file moves it; one that contradicts a [[file]]'s install is an error.
  std::vector<std::pair<std::string, std::string>> BuildPairs() {
    std::vector<std::pair<std::string, std::string>> pairs;
    std::vector<std::string> pairWhere;
    for (const NamePairItem& rename : manifest_.script.renames) {
      pairs.emplace_back(rename.entry, rename.install);
      pairWhere.push_back(rename.where);
    }
    for (const Candidate& candidate : candidates_) {
      if (!candidate.install || !candidate.entry) continue;
      const std::string& entry = *candidate.entry;
      std::optional<size_t> match;
      for (size_t i = 0; i < pairs.size() && !match; ++i) {
        if (brx::EntryNamesEqual(pairs[i].first.c_str(), entry.c_str())) match = i;
      }
      // A rename of a payload folder file is what moves it elsewhere.
      if (match && (pairs[*match].second == *candidate.install || !candidate.installGiven)) {
        continue;
      }
      if (match) {
        problems_.push_back(candidate.where + ": entry " + Shown(entry) + " is installed as " +
                            Shown(pairs[*match].second) + " by " + pairWhere[*match]);
        continue;
      }
      if (entry == *candidate.install) continue;
      pairs.emplace_back(entry, *candidate.install);
      pairWhere.push_back(candidate.where);
    }
    return pairs;
  }

  // Installed paths come from the name table the installer will really use:
  // the first section of that name.
  void PlaceFiles() {
    SectionBytes table;
    for (const SectionEntry& section : plan_.sections) {
      if (brx::EntryNamesEqual(section.name.c_str(), brx::kNameTableSection)) {
        table = SectionBytes(section.payload);
        break;
      }
    }
    std::map<std::string, std::string> installedBy;
    for (const Candidate& candidate : candidates_) {
      PlannedFile file;
      file.entryName = *candidate.entry;
      file.installedPath = brx::InstalledName(table.range(), file.entryName.c_str());
      file.source = candidate.source;
      file.shownSource = candidate.shown;
      file.stored = candidate.stored;
      file.size = candidate.size;
      if (std::optional<std::string> problem = InstalledPathProblem(file.installedPath)) {
        problems_.push_back(candidate.where + ": installed path " + Shown(file.installedPath) +
                            " " + *problem);
      }
      auto [place, added] = installedBy.emplace(FoldedName(file.installedPath), candidate.where);
      if (!added) {
        problems_.push_back(candidate.where + ": installed path " + Shown(file.installedPath) +
                            " is already installed by " + place->second);
      }
      plan_.files.push_back(std::move(file));
    }
  }

  void WarnAboutRepeatedSections() {
    std::map<std::string, bool> seen;
    for (const SectionEntry& section : plan_.sections) {
      if (!seen.emplace(FoldedName(section.name), true).second) {
        plan_.warnings.push_back("section " + Shown(section.name) +
                                 " repeats an earlier section of that name; the installer "
                                 "never reads it");
      }
    }
  }

  const Manifest& manifest_;
  std::vector<Candidate> candidates_;
  size_t payloadCount_ = 0;
  std::vector<std::string> problems_;
  PackagePlan plan_;
};

}  // namespace

std::string GeneratedEntryName(unsigned number, const std::string& installedPath) {
  std::string prefix = std::to_string(number);
  prefix.insert(prefix.begin(), '~');
  prefix.push_back('~');
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

Result<PackagePlan> PlanPackage(const Manifest& manifest) {
  return Planner(manifest).Run();
}

}  // namespace brxpack
