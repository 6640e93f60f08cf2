// brxpack list: the header facts, a table of entries and the sections in
// readable form.
#include <cstdio>

#include "brxpack/commands/commands.h"
#include "brxpack/commands/exit_codes.h"
#include "brxpack/commands/refuse.h"
#include "brxpack/contents/display_text.h"
#include "brxpack/contents/section_bytes.h"
#include "brxpack/host/host_path.h"
#include "brxpack/reading/package_file.h"
#include "brxpack/reading/package_verification.h"
#include "brxpack/reading/section_listing.h"
#include "package/entry_lookup.h"
#include "package/name_translation.h"
#include "package/section_names.h"

namespace brxpack {

namespace {

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

void ListHeader(const OpenedPackage& opened, Console& console) {
  const brx::Package& package = opened.package();
  const brx::PackageHeader& header = package.header;
  const bool compressed =
      (header.directoryFlags & brx::kDirectoryMethodMask) == brx::kDirectoryCompressed;
  console.out << "File:       " << opened.file.shown << "\n";
  console.out << "Form:       " << DescribeForm(opened.file, package) << "\n";
  if (opened.file.source == brx::PackageSource::kOwnFile) {
    console.out << "Signature:  " << DescribeSignature(opened.file.signature) << "\n";
  }
  console.out << "Directory:  " << header.entryCount << " entries at offset "
              << header.directoryOffset << ", "
              << (compressed
                      ? "compressed (" + std::to_string(header.directoryCompressedSize) + " bytes)"
                      : std::string("stored"))
              << "\n";
}

void ListEntries(const OpenedPackage& opened, brx::MemoryRange nameTable, Console& console) {
  const brx::Package& package = opened.package();
  console.out << "\nEntries:\n";
  console.out << "     # " << Padded("Name", 32) << "Kind     Method      "
              << RightAligned("Size", 12) << RightAligned("Stored", 12) << RightAligned("Ratio", 7)
              << "\n";
  for (uint32_t i = 0; i < package.entryCount(); ++i) {
    const brx::DirectoryEntry& entry = package.directory[i];
    const uint32_t stored = entry.StoredSize();
    console.out << RightAligned(std::to_string(i + 1), 6) << " "
                << Padded(PlainForDisplay(entry.name), 32)
                << (entry.IsSection() ? "section  " : "file     ")
                << (entry.IsCompressed() ? "compressed  " : "stored      ")
                << RightAligned(std::to_string(entry.size), 12)
                << RightAligned(std::to_string(stored), 12)
                << RightAligned(Ratio(stored, entry.size), 7) << "\n";
    if (!entry.IsSection()) {
      const std::string installed = brx::InstalledName(nameTable, entry.name);
      if (installed != entry.name) {
        console.out << "       installed as " << PlainForDisplay(installed) << "\n";
      }
    }
  }
}

void ListSections(const OpenedPackage& opened, Console& console) {
  const brx::Package& package = opened.package();
  console.out << "\nSections:\n";
  for (uint32_t i = 0; i < package.entryCount(); ++i) {
    const brx::DirectoryEntry& entry = package.directory[i];
    if (!entry.IsSection()) continue;
    console.out << "  " << PlainForDisplay(entry.name);
    if (brx::FindEntry(package, entry.name) != i) console.out << "  (repeated: never read)";
    console.out << "\n";
    // The reader has produced every section once already; this cannot fail
    // for a package it accepted.
    const std::optional<SectionBytes> payload = ProduceEntry(package, entry);
    if (!payload) {
      console.out << "    (damaged)\n";
      continue;
    }
    for (const std::string& line : DescribeSection(entry.name, *payload)) {
      console.out << "    " << line << "\n";
    }
  }
}

}  // namespace

int RunList(const std::string& file, Console& console) {
  Result<OpenedPackage> opened = OpenPackageForReading(PathFromUtf8(file));
  if (!opened.ok()) return Refuse(console, opened.error());
  // The name table as the installer loads it: the first section of that name.
  const brx::SectionBlock nameTable = brx::LoadSection(opened->package(), brx::kNameTableSection);
  ListHeader(*opened, console);
  ListEntries(*opened, nameTable.loaded() ? nameTable.bytes() : brx::MemoryRange{}, console);
  ListSections(*opened, console);
  return kExitOk;
}

}  // namespace brxpack
