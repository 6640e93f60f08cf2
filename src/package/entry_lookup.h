#pragma once
// Finding entries by name and producing their bytes.
#include <cstdint>

#include "package/entry_names.h"
#include "package/memory_range.h"
#include "package/reader.h"
#include "system/system.h"

namespace brx {

inline constexpr uint32_t kEntryNotFound = 0xFFFFFFFFu;

// Index of the first entry whose name equals `name`, or kEntryNotFound.
uint32_t FindEntry(const Package& package, const char* name);

// Produces exactly entry.size bytes into destination (stored: copied;
// compressed: inflated). True only when the entry produced exactly its size.
bool ExtractEntry(const Package& package, const DirectoryEntry& entry, uint8_t* destination);

// ExtractEntry into a new file's writable view of entry.size bytes, through
// system.FillView: a fault of the view (a disk that cannot back its pages)
// fails the entry instead of the program, and the inflate state is ended
// here whether the fill returned or was cut short.
bool ExtractEntryIntoView(System& system, const Package& package, const DirectoryEntry& entry,
                          uint8_t* view);

// A section's extracted payload. The block holds size bytes and one more zero
// byte behind them, so a text cut short by the block's end is still
// terminated in memory; readers never go past size (see PayloadCursor). Its
// memory comes from AllocateBlock.
class SectionBlock {
 public:
  enum class Status { kLoaded, kNotFound, kDamaged, kNoMemory };

  SectionBlock() = default;
  SectionBlock(SectionBlock&& other) noexcept;
  SectionBlock& operator=(SectionBlock&& other) noexcept;
  SectionBlock(const SectionBlock&) = delete;
  SectionBlock& operator=(const SectionBlock&) = delete;
  ~SectionBlock();

  Status status() const { return status_; }
  bool loaded() const { return status_ == Status::kLoaded; }
  MemoryRange bytes() const { return {data_, size_}; }
  const uint8_t* data() const { return data_; }
  uint32_t size() const { return size_; }
  void Release();

 private:
  friend SectionBlock LoadSection(const Package& package, const char* name);
  uint8_t* data_ = nullptr;
  uint32_t size_ = 0;
  Status status_ = Status::kNotFound;
};

// Finds the section and produces it into a new block.
SectionBlock LoadSection(const Package& package, const char* name);

}  // namespace brx
