#include "brxpack/reading/section_listing.h"

#include <cstdio>

#include "brxpack/contents/display_text.h"
#include "package/package_digest.h"
#include "package/section_names.h"
#include "package/section_readers.h"

namespace brxpack {

namespace {

std::vector<std::string> RegistryKeys(const SectionBytes& payload) {
  brx::RegistryKeysItems items;
  if (!brx::ReadRegistryKeys(payload.range(), &items)) {
    return {"(ends before its five items; the installer cannot name a target)"};
  }
  return {"registry key    HKLM\\" + PlainPath(items.keyPath),
          "folder value    " + QuotedForDisplay(items.folderValueName),
          "program value   " + QuotedForDisplay(items.programValueName),
          "level value     " + QuotedForDisplay(items.levelValueName),
          "patch level     " + std::to_string(items.packageLevel)};
}

std::vector<std::string> StartupMessage(const SectionBytes& payload) {
  const brx::StartupMessage message = brx::ReadStartupMessage(payload.range());
  return {"caption   " + QuotedForDisplay(message.caption),
          "question  " + QuotedForDisplay(message.question)};
}

std::vector<std::string> NameTable(const SectionBytes& payload) {
  std::vector<std::string> lines;
  brx::PayloadCursor cursor(payload.range());
  brx::NamePair pair;
  while (brx::ReadNamePair(cursor, &pair) == brx::ReadStep::kItem) {
    lines.push_back(PlainPath(pair.source) + "  ->  " + PlainPath(pair.installed));
  }
  if (lines.empty()) lines.push_back("(no pairs)");
  return lines;
}

std::vector<std::string> TextList(const SectionBytes& payload) {
  std::vector<std::string> lines;
  brx::PayloadCursor cursor(payload.range());
  const char* item;
  while (brx::ReadListItem(cursor, &item) == brx::ReadStep::kItem) lines.push_back(PlainPath(item));
  if (lines.empty()) lines.push_back("(empty list)");
  return lines;
}

std::vector<std::string> Commands(const SectionBytes& payload) {
  std::vector<std::string> lines;
  brx::PayloadCursor cursor(payload.range());
  brx::CommandRecord record;
  while (brx::ReadCommandRecord(cursor, &record) == brx::ReadStep::kItem) {
    std::string how = (record.flags & brx::kCommandWait) ? "wait" : "no wait";
    how += (record.flags & brx::kCommandRelative) ? ", in the target folder" : ", path as given";
    lines.push_back(PlainPath(record.program) + "  arguments " +
                    QuotedForDisplay(record.arguments) + "  (" + how + ")");
  }
  if (lines.empty()) lines.push_back("(no commands)");
  return lines;
}

std::vector<std::string> RegistryTable(const SectionBytes& payload) {
  std::vector<std::string> lines;
  brx::PayloadCursor cursor(payload.range());
  brx::RegistryRecord record;
  while (brx::ReadRegistryRecord(cursor, &record) == brx::ReadStep::kItem) {
    const std::string root = record.root == brx::kRegistryRootCurrentUser ? "HKCU" : "HKLM";
    std::string line = record.operation == brx::kRegistryOperationWrite
                           ? ""
                           : "(skipped: operation " + std::to_string(record.operation) + ") ";
    line += root + "\\" + PlainPath(record.key) + "  ";
    const std::string valueName =
        record.valueName[0] == '\0' ? "(default)" : QuotedForDisplay(record.valueName);
    if (record.type == brx::kRegistryTypeNumber) {
      line += valueName + " = dword " + PlainForDisplay(record.data);
    } else if (record.type == brx::kRegistryTypeText) {
      line += valueName + " = string " + QuotedForDisplay(record.data);
    } else {
      line += "(key only)";
    }
    lines.push_back(line);
  }
  if (lines.empty()) lines.push_back("(no values)");
  return lines;
}

std::vector<std::string> Digest(const SectionBytes& payload) {
  const std::optional<uint32_t> digest = brx::ReadDigest(payload.range());
  if (!digest) return {"(not a digest: " + std::to_string(payload.range().size) + " bytes)"};
  char hex[16];
  std::snprintf(hex, sizeof hex, "%08X", *digest);
  return {std::string("package digest  Adler-32 ") + hex +
          " over every entry's record and stored bytes"};
}

}  // namespace

std::vector<std::string> DescribeSection(const std::string& name, const SectionBytes& payload) {
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
    case brx::SectionKind::kDigest:
      return Digest(payload);
    case brx::SectionKind::kUnknown:
      break;
  }
  return {"(a section the installer does not read; " + std::to_string(payload.range().size) +
          " bytes)"};
}

}  // namespace brxpack
