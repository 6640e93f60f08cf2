#include "package/entry_lookup.h"

#include <cstdlib>
#include <cstring>

#include "package/block_memory.h"
#include "package/inflate_stream.h"

namespace brx {

uint32_t FindEntry(const Package& package, const char* name) {
  if (package.directory == nullptr) return kEntryNotFound;
  for (uint32_t index = 0; index < package.entryCount(); ++index) {
    if (EntryNamesEqual(package.directory[index].name, name)) return index;
  }
  return kEntryNotFound;
}

namespace {

bool Produce(const Package& package, const DirectoryEntry& entry, uint8_t* destination,
             InflateState& state) {
  const MemoryRange stored = package.StoredBytes(entry);
  if (!entry.IsCompressed()) {
    if (entry.size != 0) std::memcpy(destination, stored.data, entry.size);
    return true;
  }
  return state.Inflate(stored.data, stored.size, destination, entry.size);
}

// What the view's fill needs; nothing in it has a destructor, as a fault
// leaves the fill's frames without running any.
struct EntryFill {
  const Package* package;
  const DirectoryEntry* entry;
  InflateState* state;
};

bool FillFromEntry(void* context, uint8_t* view) {
  const auto* fill = static_cast<const EntryFill*>(context);
  return Produce(*fill->package, *fill->entry, view, *fill->state);
}

}  // namespace

bool ExtractEntry(const Package& package, const DirectoryEntry& entry, uint8_t* destination) {
  InflateState state;
  return Produce(package, entry, destination, state);
}

bool ExtractEntryIntoView(System& system, const Package& package, const DirectoryEntry& entry,
                          uint8_t* view) {
  InflateState state;
  EntryFill fill{&package, &entry, &state};
  return system.FillView(view, entry.size, FillFromEntry, &fill);
}

SectionBlock::SectionBlock(SectionBlock&& other) noexcept
    : data_(other.data_), size_(other.size_), status_(other.status_) {
  other.data_ = nullptr;
  other.size_ = 0;
  other.status_ = Status::kNotFound;
}

SectionBlock& SectionBlock::operator=(SectionBlock&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = other.data_;
    size_ = other.size_;
    status_ = other.status_;
    other.data_ = nullptr;
    other.size_ = 0;
    other.status_ = Status::kNotFound;
  }
  return *this;
}

SectionBlock::~SectionBlock() {
  Release();
}

void SectionBlock::Release() {
  std::free(data_);
  data_ = nullptr;
  size_ = 0;
  status_ = Status::kNotFound;
}

SectionBlock LoadSection(const Package& package, const char* name) {
  SectionBlock block;
  const uint32_t index = FindEntry(package, name);
  if (index == kEntryNotFound) return block;
  const DirectoryEntry& entry = package.directory[index];
  // The block carries one zero byte behind the payload; a size of 4 GiB - 1
  // leaves no room for it (and could not be allocated anyway).
  if (entry.size == UINT32_MAX) {
    block.status_ = SectionBlock::Status::kNoMemory;
    return block;
  }
  auto* data = static_cast<uint8_t*>(AllocateBlock(static_cast<size_t>(entry.size) + 1));
  if (data == nullptr) {
    block.status_ = SectionBlock::Status::kNoMemory;
    return block;
  }
  if (!ExtractEntry(package, entry, data)) {
    std::free(data);
    block.status_ = SectionBlock::Status::kDamaged;
    return block;
  }
  data[entry.size] = 0;
  block.data_ = data;
  block.size_ = entry.size;
  block.status_ = SectionBlock::Status::kLoaded;
  return block;
}

}  // namespace brx
