#pragma once
// A section's payload held with the one zero byte behind it that the payload
// cursor relies on, so the section readers can be used on it.
#include <cstdint>
#include <optional>
#include <vector>

#include "package/entry_lookup.h"
#include "package/memory_range.h"
#include "package/reader.h"

namespace brxpack {

class SectionBytes {
 public:
  SectionBytes() : bytes_(1, 0) {}
  explicit SectionBytes(const uint8_t* data, size_t size) : bytes_(data, data + size) {
    bytes_.push_back(0);
  }
  explicit SectionBytes(const std::vector<uint8_t>& payload)
      : SectionBytes(payload.data(), payload.size()) {}

  brx::MemoryRange range() const {
    return {bytes_.data(), static_cast<uint32_t>(bytes_.size() - 1)};
  }
  std::vector<uint8_t> payload() const { return {bytes_.begin(), bytes_.end() - 1}; }

 private:
  std::vector<uint8_t> bytes_;
};

// An entry of an opened package produced by the installer's extraction;
// nothing when it does not give exactly its size.
inline std::optional<SectionBytes> ProduceEntry(const brx::Package& package,
                                                const brx::DirectoryEntry& entry) {
  std::vector<uint8_t> bytes(entry.size);
  if (!brx::ExtractEntry(package, entry, bytes.data())) return std::nullopt;
  return SectionBytes(bytes);
}

}  // namespace brxpack
