#include "brxpack/contents/section_checks.h"

#include "brxpack/contents/display_text.h"
#include "brxpack/contents/package_path.h"
#include "package/package_digest.h"
#include "package/section_names.h"
#include "package/section_readers.h"

namespace brxpack {

namespace {

const char kUnclosed[] = "is cut short: its closing empty item is missing";

std::vector<std::string> RegistryKeys(const SectionBytes& payload) {
  brx::RegistryKeysItems items;
  const bool whole = brx::ReadRegistryKeys(payload.range(), &items);
  static const char* const kItems[] = {"registry key", "folder value name", "program value name",
                                       "level value name"};
  const char* const texts[] = {items.keyPath, items.folderValueName, items.programValueName,
                               items.levelValueName};
  std::vector<std::string> faults;
  for (size_t i = 0; i < std::size(texts); ++i) {
    if (texts[i] == nullptr) {
      return {std::string("ends before its ") + kItems[i] + " (with its terminating zero)"};
    }
    if (std::optional<std::string> problem = ControlCharacterProblem(texts[i])) {
      faults.push_back(std::string("its ") + kItems[i] + " " + *problem);
    }
  }
  // A section that is cut or names no key is reported as that alone.
  if (!whole) return {"ends before its 32-bit patch level"};
  if (items.keyPath[0] == '\0') return {"names an empty registry key"};
  return faults;
}

std::vector<std::string> StartupMessage(const SectionBytes& payload) {
  const uint32_t whole = brx::ReadStartupMessage(payload.range()).wholeTexts;
  if (whole == 0) return {"ends before its caption is terminated"};
  if (whole == 1) return {"ends before its question is terminated"};
  return {};
}

std::vector<std::string> NameTable(const SectionBytes& payload) {
  brx::PayloadCursor cursor(payload.range());
  brx::NamePair pair;
  for (unsigned number = 1;; ++number) {
    const brx::ReadStep step = brx::ReadNamePair(cursor, &pair);
    if (step == brx::ReadStep::kCut) return {kUnclosed};
    if (step == brx::ReadStep::kEnd) return {};
    if (pair.installed[0] == '\0') {
      return {"pair " + std::to_string(number) +
              " has no installed name, which ends the table there"};
    }
  }
}

std::vector<std::string> TextList(const SectionBytes& payload, PathUse use) {
  std::vector<std::string> faults;
  brx::PayloadCursor cursor(payload.range());
  const char* item;
  for (unsigned number = 1;; ++number) {
    const brx::ReadStep step = brx::ReadListItem(cursor, &item);
    if (step == brx::ReadStep::kCut) faults.push_back(kUnclosed);
    if (step != brx::ReadStep::kItem) return faults;
    if (std::optional<std::string> problem = PackagePathProblem(item, use)) {
      faults.push_back("item " + std::to_string(number) + " " + QuotedPath(item) + " " + *problem);
    }
  }
}

std::vector<std::string> Commands(const SectionBytes& payload) {
  std::vector<std::string> faults;
  brx::PayloadCursor cursor(payload.range());
  brx::CommandRecord record;
  for (unsigned number = 1;; ++number) {
    const brx::ReadStep step = brx::ReadCommandRecord(cursor, &record);
    const std::string label = "command " + std::to_string(number);
    if (step == brx::ReadStep::kCut) {
      faults.push_back(record.program == nullptr
                           ? "is cut short: its closing record is missing"
                           : label + " is cut short before its arguments end");
    }
    if (step != brx::ReadStep::kItem) return faults;
    const bool relative = (record.flags & brx::kCommandRelative) != 0;
    if (std::optional<std::string> problem = ProgramProblem(record.program, relative)) {
      faults.push_back(label + ": its program " + QuotedPath(record.program) + " " + *problem);
    }
  }
}

std::vector<std::string> RegistryTable(const SectionBytes& payload) {
  std::vector<std::string> faults;
  brx::PayloadCursor cursor(payload.range());
  brx::RegistryRecord record;
  for (unsigned number = 1;; ++number) {
    const brx::ReadStep step = brx::ReadRegistryRecord(cursor, &record);
    const std::string label = "value " + std::to_string(number);
    if (step == brx::ReadStep::kCut) {
      faults.push_back(record.operation == brx::kRegistryOperationEnd
                           ? "is cut short: its closing operation 0 is missing"
                           : label + " is cut short");
    }
    if (step != brx::ReadStep::kItem) return faults;
    if (std::optional<std::string> problem = ControlCharacterProblem(record.key)) {
      faults.push_back(label + ": its key " + *problem);
    }
    if (std::optional<std::string> problem = ControlCharacterProblem(record.valueName)) {
      faults.push_back(label + ": its name " + *problem);
    }
  }
}

}  // namespace

std::vector<std::string> CheckSection(const std::string& name, const SectionBytes& payload) {
  switch (brx::ClassifySection(name.c_str())) {
    case brx::SectionKind::kRegistryKeys:
      return RegistryKeys(payload);
    case brx::SectionKind::kStartupMsg:
      return StartupMessage(payload);
    case brx::SectionKind::kNameTable:
      return NameTable(payload);
    case brx::SectionKind::kFolders:
      return TextList(payload, PathUse::kFolder);
    case brx::SectionKind::kFilesToRemove:
      return TextList(payload, PathUse::kRemoval);
    case brx::SectionKind::kCommands:
      return Commands(payload);
    case brx::SectionKind::kRegistryTable:
      return RegistryTable(payload);
    case brx::SectionKind::kDigest:
      if (brx::ReadDigest(payload.range())) break;
      return {"holds " + std::to_string(payload.range().size) + " bytes, not the " +
              std::to_string(brx::kDigestSize) + " of a package digest"};
    case brx::SectionKind::kUnknown:
      break;
  }
  return {};
}

}  // namespace brxpack
