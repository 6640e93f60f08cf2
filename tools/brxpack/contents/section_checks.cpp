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
  brx::PayloadCursor cursor(payload.range());
  static const char* const kItems[] = {"registry key", "folder value name", "program value name",
                                       "level value name"};
  for (const char* item : kItems) {
    if (cursor.ReadCompleteText() == nullptr) {
      return {std::string("ends before its ") + item + " (with its terminating zero)"};
    }
  }
  if (!cursor.ReadInt32()) return {"ends before its 32-bit patch level"};
  brx::RegistryKeysItems items;
  brx::ReadRegistryKeys(payload.range(), &items);
  if (items.keyPath[0] == '\0') return {"names an empty registry key"};
  std::vector<std::string> faults;
  const char* const texts[] = {items.keyPath, items.folderValueName, items.programValueName,
                               items.levelValueName};
  for (size_t i = 0; i < std::size(texts); ++i) {
    if (std::optional<std::string> problem = ControlCharacterProblem(texts[i])) {
      faults.push_back(std::string("its ") + kItems[i] + " " + *problem);
    }
  }
  return faults;
}

std::vector<std::string> StartupMessage(const SectionBytes& payload) {
  brx::PayloadCursor cursor(payload.range());
  if (cursor.ReadCompleteText() == nullptr) return {"ends before its caption is terminated"};
  if (cursor.ReadCompleteText() == nullptr) return {"ends before its question is terminated"};
  return {};
}

std::vector<std::string> NameTable(const SectionBytes& payload) {
  brx::PayloadCursor cursor(payload.range());
  for (unsigned pair = 1;; ++pair) {
    const char* source = cursor.ReadCompleteText();
    if (source == nullptr) return {kUnclosed};
    if (source[0] == '\0') return {};
    const char* installed = cursor.ReadCompleteText();
    if (installed == nullptr) return {kUnclosed};
    if (installed[0] == '\0') {
      return {"pair " + std::to_string(pair) +
              " has no installed name, which ends the table there"};
    }
  }
}

std::vector<std::string> TextList(const SectionBytes& payload, PathUse use) {
  std::vector<std::string> faults;
  brx::PayloadCursor cursor(payload.range());
  for (unsigned number = 1;; ++number) {
    const char* item = cursor.ReadCompleteText();
    if (item == nullptr) {
      faults.push_back(kUnclosed);
      return faults;
    }
    if (item[0] == '\0') return faults;
    if (std::optional<std::string> problem = PackagePathProblem(item, use)) {
      faults.push_back("item " + std::to_string(number) + " " + QuotedPath(item) + " " + *problem);
    }
  }
}

std::vector<std::string> Commands(const SectionBytes& payload) {
  std::vector<std::string> faults;
  brx::PayloadCursor cursor(payload.range());
  for (unsigned record = 1;; ++record) {
    const std::optional<uint8_t> flags = cursor.ReadByte();
    const char* program = flags ? cursor.ReadCompleteText() : nullptr;
    if (program == nullptr) {
      faults.push_back("is cut short: its closing record is missing");
      return faults;
    }
    if (program[0] == '\0') return faults;
    const std::string label = "command " + std::to_string(record);
    if (cursor.ReadCompleteText() == nullptr) {
      faults.push_back(label + " is cut short before its arguments end");
      return faults;
    }
    const bool relative = (*flags & brx::kCommandRelative) != 0;
    if (std::optional<std::string> problem = ProgramProblem(program, relative)) {
      faults.push_back(label + ": its program " + QuotedPath(program) + " " + *problem);
    }
  }
}

std::vector<std::string> RegistryTable(const SectionBytes& payload) {
  std::vector<std::string> faults;
  brx::PayloadCursor cursor(payload.range());
  for (unsigned record = 1;; ++record) {
    const std::optional<uint32_t> operation = cursor.ReadUint32();
    if (!operation) {
      faults.push_back("is cut short: its closing operation 0 is missing");
      return faults;
    }
    if (*operation == brx::kRegistryOperationEnd) return faults;
    const std::string label = "value " + std::to_string(record);
    const char* key = cursor.ReadUint32() ? cursor.ReadCompleteText() : nullptr;
    const char* name = key != nullptr && cursor.ReadUint32() ? cursor.ReadCompleteText() : nullptr;
    if (name == nullptr || cursor.ReadCompleteText() == nullptr) {
      faults.push_back(label + " is cut short");
      return faults;
    }
    if (std::optional<std::string> problem = ControlCharacterProblem(key)) {
      faults.push_back(label + ": its key " + *problem);
    }
    if (std::optional<std::string> problem = ControlCharacterProblem(name)) {
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
      if (payload.range().size == brx::kDigestSize) break;
      return {"holds " + std::to_string(payload.range().size) + " bytes, not the " +
              std::to_string(brx::kDigestSize) + " of a package digest"};
    case brx::SectionKind::kUnknown:
      break;
  }
  return {};
}

}  // namespace brxpack
