// Arbitrary bytes as a package file and as a program's own file: the parse,
// every section's load, every section reader over each block and over the
// raw bytes, and the extraction of every file entry. Beyond the sanitizers
// it checks the reader's promises: an opened package only names bytes in
// the file, its sections are never damaged, a reader's texts end inside the
// block or on its guard byte, and a list is cut only at the block's end.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "package/entry_lookup.h"
#include "package/reader.h"
#include "package/section_readers.h"

namespace brx {
namespace {

// Larger file entries are skipped: their extraction adds nothing the small
// ones do not, only memory.
constexpr uint32_t kLargestExtractedFile = 1u << 20;

void Require(bool promise) {
  if (!promise) __builtin_trap();
}

// A text a reader gives ends inside its block or on the guard byte; a
// missing item may read as an empty text of its own.
void CheckText(MemoryRange block, const char* text) {
  const auto* start = reinterpret_cast<const uint8_t*>(text);
  const bool inside = start >= block.data && start <= block.data + block.size;
  if (text == nullptr || (!inside && text[0] == '\0')) return;
  Require(inside && start + std::strlen(text) <= block.data + block.size);
}

// Reads a list to its end, checking each item's texts (members, or the item
// itself).
template <typename Record, typename Read, typename... Texts>
void ReadList(MemoryRange block, Read read, Texts... texts) {
  PayloadCursor cursor(block);
  Record record;
  ReadStep step;
  while ((step = read(cursor, &record)) == ReadStep::kItem) {
    (CheckText(block, std::invoke(texts, record)), ...);
  }
  Require(step != ReadStep::kCut || cursor.AtEnd());
}

void RunReaders(MemoryRange block) {
  RegistryKeysItems keys;
  ReadRegistryKeys(block, &keys);  // texts are given whole even when the level is missing
  for (const char* text :
       {keys.keyPath, keys.folderValueName, keys.programValueName, keys.levelValueName}) {
    CheckText(block, text);
  }
  const StartupMessage message = ReadStartupMessage(block);
  CheckText(block, message.caption);
  CheckText(block, message.question);
  ReadList<CommandRecord>(block, ReadCommandRecord, &CommandRecord::program,
                          &CommandRecord::arguments);
  ReadList<RegistryRecord>(block, ReadRegistryRecord, &RegistryRecord::key,
                           &RegistryRecord::valueName, &RegistryRecord::data);
  ReadList<NamePair>(
      block, [](PayloadCursor& cursor, NamePair* pair) { return ReadNamePair(cursor, pair); },
      &NamePair::source, &NamePair::installed);
  ReadList<const char*>(block, ReadListItem, [](const char* item) { return item; });
  PayloadCursor numbers(block);
  while (numbers.ReadUint32()) {
  }
  Require(numbers.AtEnd());
}

// The raw input as if it were a section block, with the block's guard byte.
void RunReadersOverRawBytes(const uint8_t* data, uint32_t size) {
  auto* copy = static_cast<uint8_t*>(std::malloc(size_t{size} + 1));
  if (copy == nullptr) return;
  if (size != 0) std::memcpy(copy, data, size);
  copy[size] = 0;
  RunReaders({copy, size});
  std::free(copy);
}

void LoadAndReadSection(const Package& package, const char* name) {
  SectionBlock block = LoadSection(package, name);
  Require(block.status() != SectionBlock::Status::kDamaged);
  if (!block.loaded()) return;
  Require(block.data()[block.size()] == 0);
  RunReaders(block.bytes());
}

void ExploreOpenPackage(const Package& package, MemoryRange file) {
  Require(package.packageStart <= package.packageEnd && package.packageEnd <= file.size);
  for (uint32_t i = 0; i < package.entryCount(); ++i) {
    const DirectoryEntry& entry = package.directory[i];
    Require(std::memchr(entry.name, 0, kEntryNameSize) != nullptr);
    const MemoryRange stored = package.StoredBytes(entry);
    Require(stored.data >= file.data + package.packageStart);
    Require(uint64_t(stored.data - file.data) + stored.size <= package.packageEnd);
    if (entry.IsSection()) {
      LoadAndReadSection(package, entry.name);
    } else if (entry.size <= kLargestExtractedFile) {
      auto* destination = static_cast<uint8_t*>(std::malloc(entry.size != 0 ? entry.size : 1));
      if (destination == nullptr) continue;
      ExtractEntry(package, entry, destination);
      std::free(destination);
    }
  }
}

}  // namespace
}  // namespace brx

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace brx;
  if (size > UINT32_MAX) return 0;
  const MemoryRange file = {data, static_cast<uint32_t>(size)};
  RunReadersOverRawBytes(data, file.size);
  for (PackageSource source : {PackageSource::kPackageFile, PackageSource::kOwnFile}) {
    Package package;
    if (ParsePackage(file, source, &package) != PackageError::kNone) {
      Require(package.directory == nullptr);
      continue;
    }
    ExploreOpenPackage(package, file);
    std::free(package.directory);
  }
  return 0;
}
