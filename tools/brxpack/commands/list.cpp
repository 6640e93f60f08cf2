// brxpack list: the header facts, a table of entries and the sections in
// readable form, as text or as one JSON object.
#include <cstdio>
#include <unordered_set>

#include "brxpack/commands/command.h"
#include "brxpack/contents/display_text.h"
#include "brxpack/contents/section_bytes.h"
#include "brxpack/contents/windows1251.h"
#include "brxpack/host/json_writer.h"
#include "brxpack/reading/installed_files.h"
#include "brxpack/reading/package_file.h"
#include "brxpack/reading/package_verification.h"
#include "package/package_digest.h"
#include "package/section_names.h"
#include "package/section_readers.h"

namespace brxpack {

namespace {

struct ListOptions {
  std::filesystem::path file;
  bool json = false;
};

std::vector<std::string> RegistryKeysLines(const SectionBytes& payload) {
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

std::vector<std::string> StartupLines(const SectionBytes& payload) {
  const brx::StartupMessage message = brx::ReadStartupMessage(payload.range());
  return {"caption   " + QuotedForDisplay(message.caption),
          "question  " + QuotedForDisplay(message.question)};
}

// One line per item the reader takes from the payload; `none` when it takes
// none.
template <typename Item, typename Read, typename Describe>
std::vector<std::string> ItemLines(const SectionBytes& payload, Read read, Describe describe,
                                   const char* none) {
  std::vector<std::string> lines;
  brx::PayloadCursor cursor(payload.range());
  Item item;
  while (read(cursor, &item) == brx::ReadStep::kItem) lines.push_back(describe(item));
  if (lines.empty()) lines.push_back(none);
  return lines;
}

std::string NamePairLine(const brx::NamePair& pair) {
  return PlainPath(pair.source) + "  ->  " + PlainPath(pair.installed);
}

std::string CommandLine(const brx::CommandRecord& record) {
  std::string how = (record.flags & brx::kCommandWait) ? "wait" : "no wait";
  how += (record.flags & brx::kCommandRelative) ? ", in the target folder" : ", path as given";
  return PlainPath(record.program) + "  arguments " + QuotedForDisplay(record.arguments) + "  (" +
         how + ")";
}

std::string RegistryLine(const brx::RegistryRecord& record) {
  const std::string root = record.root == brx::kRegistryRootCurrentUser ? "HKCU" : "HKLM";
  std::string line = record.operation == brx::kRegistryOperationWrite
                         ? ""
                         : "(skipped: operation " + std::to_string(record.operation) + ") ";
  line += root + "\\" + PlainPath(record.key) + "  ";
  const std::string valueName =
      record.valueName[0] == '\0' ? "(default)" : QuotedForDisplay(record.valueName);
  if (record.type == brx::kRegistryTypeNumber)
    return line + valueName + " = dword " + PlainForDisplay(record.data);
  if (record.type == brx::kRegistryTypeText)
    return line + valueName + " = string " + QuotedForDisplay(record.data);
  return line + "(key only)";
}

std::vector<std::string> DigestLines(const SectionBytes& payload) {
  const std::optional<uint32_t> digest = brx::ReadDigest(payload.range());
  if (!digest) return {"(not a digest: " + std::to_string(payload.range().size) + " bytes)"};
  char hex[16];
  std::snprintf(hex, sizeof hex, "%08X", *digest);
  return {std::string("package digest  Adler-32 ") + hex +
          " over every entry's record and stored bytes"};
}

// A section payload in readable form, one line per item, texts in UTF-8.
std::vector<std::string> DescribeSection(const std::string& name, const SectionBytes& payload) {
  switch (brx::ClassifySection(name.c_str())) {
    case brx::SectionKind::kRegistryKeys:
      return RegistryKeysLines(payload);
    case brx::SectionKind::kStartupMsg:
      return StartupLines(payload);
    case brx::SectionKind::kNameTable:
      return ItemLines<brx::NamePair>(
          payload,
          [](brx::PayloadCursor& c, brx::NamePair* pair) { return brx::ReadNamePair(c, pair); },
          NamePairLine, "(no pairs)");
    case brx::SectionKind::kFolders:
    case brx::SectionKind::kFilesToRemove:
      return ItemLines<const char*>(payload, brx::ReadListItem, PlainPath, "(empty list)");
    case brx::SectionKind::kCommands:
      return ItemLines<brx::CommandRecord>(payload, brx::ReadCommandRecord, CommandLine,
                                           "(no commands)");
    case brx::SectionKind::kRegistryTable:
      return ItemLines<brx::RegistryRecord>(payload, brx::ReadRegistryRecord, RegistryLine,
                                            "(no values)");
    case brx::SectionKind::kDigest:
      return DigestLines(payload);
    case brx::SectionKind::kUnknown:
      break;
  }
  return {"(a section the installer does not read; " + std::to_string(payload.range().size) +
          " bytes)"};
}

// One entry as both forms show it; texts are Windows-1251.
struct EntryRow {
  const brx::DirectoryEntry* entry;
  std::string installed;  // file entries translated by the name table: differs from the name
  bool repeated = false;  // a section whose name an earlier one has: never read
  std::vector<std::string> lines;  // a section's readable form (UTF-8)
};

std::vector<EntryRow> Rows(const brx::Package& package) {
  const std::vector<InstalledFile> files = JudgeInstalledFiles(package);
  auto file = files.begin();
  std::unordered_set<std::string> sectionsSeen;
  std::vector<EntryRow> rows;
  rows.reserve(package.entryCount());
  for (uint32_t i = 0; i < package.entryCount(); ++i) {
    const brx::DirectoryEntry& entry = package.directory[i];
    EntryRow& row = rows.emplace_back(EntryRow{&entry, "", false, {}});
    if (!entry.IsSection()) {
      row.installed = (file++)->installed;
      continue;
    }
    row.repeated = !sectionsSeen.insert(FoldedName(entry.name)).second;
    // The reader has produced every section once already; this cannot fail
    // for a package it accepted.
    const std::optional<SectionBytes> payload = ProduceEntry(package, entry);
    row.lines =
        payload ? DescribeSection(entry.name, *payload) : std::vector<std::string>{"(damaged)"};
  }
  return rows;
}

std::string Ratio(uint32_t stored, uint32_t size) {
  if (size == 0) return "-";
  char text[16];
  std::snprintf(text, sizeof text, "%.0f%%", 100.0 * stored / size);
  return text;
}

std::string Padded(const std::string& text, size_t width) {
  // Widths count characters, and UTF-8 continuation bytes take no column.
  size_t columns = 0;
  for (const char c : text) columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return text + std::string(columns < width ? width - columns : 0, ' ');
}

std::string RightAligned(const std::string& text, size_t width) {
  return std::string(text.size() < width ? width - text.size() : 0, ' ') + text;
}

bool DirectoryCompressed(const brx::Package& package) {
  return (package.header.directoryFlags & brx::kDirectoryMethodMask) == brx::kDirectoryCompressed;
}

void PrintText(const OpenedPackage& opened, const std::vector<EntryRow>& rows, Console& console) {
  const brx::Package& package = opened.package();
  const brx::PackageHeader& header = package.header;
  console.out << "File:       " << opened.file.shown << "\n";
  console.out << "Form:       " << DescribeForm(opened.file, package) << "\n";
  if (opened.file.source == brx::PackageSource::kOwnFile) {
    console.out << "Stub:       " << DescribeStub(opened.file) << "\n";
    console.out << "Signature:  " << DescribeSignature(opened.file.signature) << "\n";
  }
  console.out << "Directory:  " << header.entryCount << " entries at offset "
              << header.directoryOffset << ", "
              << (DirectoryCompressed(package)
                      ? "compressed (" + std::to_string(header.directoryCompressedSize) + " bytes)"
                      : std::string("stored"))
              << "\n";

  console.out << "\nEntries:\n";
  console.out << "     # " << Padded("Name", 32) << "Kind     Method      "
              << RightAligned("Size", 12) << RightAligned("Stored", 12) << RightAligned("Ratio", 7)
              << "\n";
  for (size_t i = 0; i < rows.size(); ++i) {
    const brx::DirectoryEntry& entry = *rows[i].entry;
    const uint32_t stored = entry.StoredSize();
    console.out << RightAligned(std::to_string(i + 1), 6) << " "
                << Padded(PlainPath(entry.name), 32)
                << (entry.IsSection() ? "section  " : "file     ")
                << (entry.IsCompressed() ? "compressed  " : "stored      ")
                << RightAligned(std::to_string(entry.size), 12)
                << RightAligned(std::to_string(stored), 12)
                << RightAligned(Ratio(stored, entry.size), 7) << "\n";
    if (!entry.IsSection() && rows[i].installed != entry.name) {
      console.out << "       installed as " << PlainPath(rows[i].installed) << "\n";
    }
  }

  console.out << "\nSections:\n";
  for (const EntryRow& row : rows) {
    if (!row.entry->IsSection()) continue;
    console.out << "  " << PlainPath(row.entry->name)
                << (row.repeated ? "  (repeated: never read)\n" : "\n");
    for (const std::string& line : row.lines) console.out << "    " << line << "\n";
  }
}

void PrintJson(const OpenedPackage& opened, const std::vector<EntryRow>& rows, Console& console) {
  const brx::Package& package = opened.package();
  const bool executable = opened.file.source == brx::PackageSource::kOwnFile;
  JsonWriter json(console.out);
  json.BeginObject();
  json.Field("file", opened.file.shown);
  json.Field("form", executable ? "self-applying executable" : "package file");
  json.Field("size", opened.file.file.size());
  json.Field("packageStart", package.packageStart);
  json.Field("packageSize", package.packageEnd - package.packageStart);
  json.Field("signature",
             executable ? std::optional(DescribeSignature(opened.file.signature)) : std::nullopt);
  json.Field("stubArch",
             opened.file.stubArch ? std::optional(ArchName(*opened.file.stubArch)) : std::nullopt);
  json.Key("directory");
  json.BeginObject();
  json.Field("entries", package.header.entryCount);
  json.Field("offset", package.header.directoryOffset);
  json.Field("compressed", DirectoryCompressed(package));
  json.EndObject();
  json.Key("entries");
  json.BeginArray();
  for (const EntryRow& row : rows) {
    const brx::DirectoryEntry& entry = *row.entry;
    json.BeginObject();
    json.Field("name", Windows1251ToUtf8(entry.name));
    json.Field("kind", entry.IsSection() ? "section" : "file");
    json.Field("compressed", entry.IsCompressed());
    json.Field("offset", entry.offset);
    json.Field("size", entry.size);
    json.Field("storedSize", entry.StoredSize());
    if (entry.IsSection()) {
      json.Field("repeated", row.repeated);
      json.Field("lines", row.lines);
    } else {
      json.Field("installedAs", Windows1251ToUtf8(row.installed));
    }
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
}

int RunList(const ListOptions& options, Console& console) {
  Result<OpenedPackage> opened = OpenPackageForReading(options.file);
  if (!opened.ok()) return Refuse(console, opened.error());
  const std::vector<EntryRow> rows = Rows(opened->package());
  (options.json ? PrintJson : PrintText)(*opened, rows, console);
  return kExitOk;
}

void AddOptions(CLI::App& parser, ListOptions& options) {
  AddPath(parser, "FILE", options.file, "A package or a self-applying executable")->required();
  parser.add_flag("--json", options.json, "Print one JSON object (see the README)");
}

}  // namespace

const Command kListCommand{
    "list", "Show a package's or self-applying executable's header, entries and sections.",
    Define<ListOptions, AddOptions, RunList>};

}  // namespace brxpack
