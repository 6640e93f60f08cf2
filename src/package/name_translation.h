#pragma once
// Name translation: the name under which a file entry is installed, read
// from the :XlatNamesTable payload.
#include <cstdint>

#include "package/memory_range.h"
#include "package/section_readers.h"

namespace brx {

// The installed name of the file entry entryName: the installed name of the
// first pair whose source name equals it (whole name, A to Z folded), or
// entryName itself. Nothing (nullptr) when no whole pair names it but the
// pair that the table's end cuts short may: its source name equals entryName
// or, cut itself, begins entryName. Such a file's installed name is lost
// with the pair. The table is the section's payload followed in memory by a
// zero byte, as every section block is; an empty range holds no pairs. The
// result points into the table or is entryName; nothing is allocated.
const char* InstalledName(MemoryRange nameTable, const char* entryName);

// The same translation for many names: the pairs' source names indexed once,
// so that each lookup takes a logarithmic number of name comparisons instead
// of a scan of the whole table. The index holds one 32-bit offset per pair
// and refers to the table, which must outlive it.
class NameTable {
 public:
  NameTable() = default;
  NameTable(NameTable&& other) noexcept;
  NameTable& operator=(NameTable&& other) noexcept;
  NameTable(const NameTable&) = delete;
  NameTable& operator=(const NameTable&) = delete;
  ~NameTable();

  // Indexes the table's pairs, replacing any earlier index. False when the
  // index cannot be allocated (AllocateBlock); it then holds no pairs and
  // translates nothing.
  bool Build(MemoryRange nameTable);
  // Frees the index; the comparisons made so far stay counted.
  void Release();

  // Exactly InstalledName(nameTable, entryName) for the table given to Build.
  const char* Translate(const char* entryName) const;

  uint32_t pairCount() const { return count_; }
  // Name comparisons made so far by Build and Translate together.
  uint64_t comparisons() const { return comparisons_; }

 private:
  // Orders source names by their A to Z folded bytes, equal names by their
  // place in the table.
  bool Precedes(uint32_t a, uint32_t b) const;
  int CompareSource(uint32_t offset, const char* name) const;

  const uint8_t* table_ = nullptr;
  uint32_t tableSize_ = 0;
  uint32_t* sources_ = nullptr;  // source name offsets, sorted by Precedes
  CutNamePair cut_;              // the pair the table's end cut short, if any
  uint32_t count_ = 0;
  mutable uint64_t comparisons_ = 0;
};

}  // namespace brx
