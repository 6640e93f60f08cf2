#include "package/name_translation.h"

#include <algorithm>
#include <cstdlib>

#include "package/block_memory.h"
#include "package/entry_names.h"
#include "package/payload_cursor.h"
#include "package/section_readers.h"

namespace brx {

namespace {

int CompareFolded(const char* a, const char* b) {
  for (;; ++a, ++b) {
    const unsigned char left = static_cast<unsigned char>(FoldLatin(*a));
    const unsigned char right = static_cast<unsigned char>(FoldLatin(*b));
    if (left != right) return left < right ? -1 : 1;
    if (left == 0) return 0;
  }
}

// Whether entryName may be the file the cut pair names.
bool CutPairMayName(const CutNamePair& cut, const char* entryName) {
  if (cut.source == nullptr) return false;
  if (cut.sourceWhole) return CompareFolded(cut.source, entryName) == 0;
  for (const char* source = cut.source; *source != '\0'; ++source, ++entryName) {
    if (FoldLatin(*source) != FoldLatin(*entryName)) return false;
  }
  return true;
}

}  // namespace

const char* InstalledName(MemoryRange nameTable, const char* entryName) {
  PayloadCursor cursor(nameTable);
  NamePair pair;
  CutNamePair cut;
  while (ReadNamePair(cursor, &pair, &cut) == ReadStep::kItem) {
    if (EntryNamesEqual(pair.source, entryName)) return pair.installed;
  }
  return CutPairMayName(cut, entryName) ? nullptr : entryName;
}

NameTable::NameTable(NameTable&& other) noexcept
    : table_(other.table_),
      tableSize_(other.tableSize_),
      sources_(other.sources_),
      cut_(other.cut_),
      count_(other.count_),
      comparisons_(other.comparisons_) {
  other.sources_ = nullptr;
  other.count_ = 0;
}

NameTable& NameTable::operator=(NameTable&& other) noexcept {
  if (this != &other) {
    Release();
    table_ = other.table_;
    tableSize_ = other.tableSize_;
    cut_ = other.cut_;
    sources_ = other.sources_;
    count_ = other.count_;
    comparisons_ = other.comparisons_;
    other.sources_ = nullptr;
    other.count_ = 0;
  }
  return *this;
}

NameTable::~NameTable() {
  Release();
}

void NameTable::Release() {
  std::free(sources_);
  sources_ = nullptr;
  count_ = 0;
  cut_ = {};
}

bool NameTable::Build(MemoryRange nameTable) {
  Release();
  table_ = nameTable.data;
  tableSize_ = nameTable.size;
  // Two passes of the section's own reader, so that the index holds exactly
  // the pairs a scan would visit.
  uint32_t count = 0;
  PayloadCursor counter(nameTable);
  NamePair pair;
  while (ReadNamePair(counter, &pair, &cut_) == ReadStep::kItem) ++count;
  if (count == 0) return true;
  // Wraps only where size_t has 32 bits, and then the division tells.
  const size_t bytes = size_t{count} * sizeof(uint32_t);
  if (bytes / sizeof(uint32_t) != count) return false;
  sources_ = static_cast<uint32_t*>(AllocateBlock(bytes));
  if (sources_ == nullptr) return false;
  PayloadCursor cursor(nameTable);
  while (ReadNamePair(cursor, &pair) == ReadStep::kItem) {
    sources_[count_++] =
        static_cast<uint32_t>(reinterpret_cast<const uint8_t*>(pair.source) - nameTable.data);
  }
  std::sort(sources_, sources_ + count_, [this](uint32_t a, uint32_t b) { return Precedes(a, b); });
  return true;
}

bool NameTable::Precedes(uint32_t a, uint32_t b) const {
  const int order = CompareSource(a, reinterpret_cast<const char*>(table_ + b));
  return order != 0 ? order < 0 : a < b;
}

int NameTable::CompareSource(uint32_t offset, const char* name) const {
  ++comparisons_;
  return CompareFolded(reinterpret_cast<const char*>(table_ + offset), name);
}

const char* NameTable::Translate(const char* entryName) const {
  // The first source name not below entryName; among equal names the
  // earliest in the table sorts first, so it wins as in a scan.
  uint32_t low = 0;
  uint32_t high = count_;
  while (low < high) {
    const uint32_t middle = low + (high - low) / 2;
    if (CompareSource(sources_[middle], entryName) < 0) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  if (low == count_ || CompareSource(sources_[low], entryName) != 0) {
    return CutPairMayName(cut_, entryName) ? nullptr : entryName;
  }
  // The pair read again from its source by the section's own reader, so
  // the installed name is exactly what a scan would give.
  const uint32_t source = sources_[low];
  PayloadCursor cursor({table_ + source, tableSize_ - source});
  NamePair pair;
  return ReadNamePair(cursor, &pair) == ReadStep::kItem ? pair.installed : entryName;
}

}  // namespace brx
