#include "brxpack/reading/section_checks.h"

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
  return {};
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

std::vector<std::string> TextList(const SectionBytes& payload) {
  brx::PayloadCursor cursor(payload.range());
  for (;;) {
    const char* item = cursor.ReadCompleteText();
    if (item == nullptr) return {kUnclosed};
    if (item[0] == '\0') return {};
  }
}

std::vector<std::string> Commands(const SectionBytes& payload) {
  brx::PayloadCursor cursor(payload.range());
  for (unsigned record = 1;; ++record) {
    if (!cursor.ReadByte()) return {"is cut short: its closing record is missing"};
    const char* program = cursor.ReadCompleteText();
    if (program == nullptr) return {"is cut short: its closing record is missing"};
    if (program[0] == '\0') return {};
    if (cursor.ReadCompleteText() == nullptr) {
      return {"command " + std::to_string(record) + " is cut short before its arguments end"};
    }
  }
}

std::vector<std::string> RegistryTable(const SectionBytes& payload) {
  brx::PayloadCursor cursor(payload.range());
  for (unsigned record = 1;; ++record) {
    const std::optional<uint32_t> operation = cursor.ReadUint32();
    if (!operation) return {"is cut short: its closing operation 0 is missing"};
    if (*operation == brx::kRegistryOperationEnd) return {};
    const bool complete = cursor.ReadUint32() && cursor.ReadCompleteText() != nullptr &&
                          cursor.ReadUint32() && cursor.ReadCompleteText() != nullptr &&
                          cursor.ReadCompleteText() != nullptr;
    if (!complete) return {"value " + std::to_string(record) + " is cut short"};
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
    case brx::SectionKind::kFilesToRemove:
      return TextList(payload);
    case brx::SectionKind::kCommands:
      return Commands(payload);
    case brx::SectionKind::kRegistryTable:
      return RegistryTable(payload);
    case brx::SectionKind::kUnknown:
      break;
  }
  return {};
}

}  // namespace brxpack
