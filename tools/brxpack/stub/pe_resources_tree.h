#pragma once
// A program's resources as a flat list, read from and written to the
// three-level directory tree (type, name, language) of its resource
// section. Every bounds check on the tree is made by the reader.
#include <cstdint>
#include <string>
#include <vector>

#include "brxpack/result.h"
#include "package/memory_range.h"

namespace brxpack {

// A resource type or name: a number, or a text when `text` is not empty.
struct ResourceName {
  uint16_t id = 0;
  std::u16string text;
  bool operator==(const ResourceName&) const = default;
};

// Whether `name` is the number `id`, not a text.
inline bool IsNumbered(const ResourceName& name, uint16_t id) {
  return name.text.empty() && name.id == id;
}

struct Resource {
  ResourceName type;
  ResourceName name;
  uint16_t language = 0;
  uint32_t codePage = 0;
  std::vector<uint8_t> bytes;
};

inline constexpr uint16_t kResourceIcon = 3;
inline constexpr uint16_t kResourceDialog = 5;
inline constexpr uint16_t kResourceIconGroup = 14;
inline constexpr uint16_t kResourceVersion = 16;

// `section` holds the tree at its start and is mapped at address
// `sectionRva`; every data record must point inside it. Fails, saying why,
// for a tree that is cut short, deeper or shallower than three levels, or
// larger than its bytes can hold.
Result<std::vector<Resource>> ReadResourceTree(brx::MemoryRange section, uint32_t sectionRva);

// The section's bytes for these resources, to be mapped at `sectionRva`:
// directories sorted as the loader searches them (texts first, then
// numbers, each ascending), then names, data records and data.
std::vector<uint8_t> WriteResourceTree(std::vector<Resource> resources, uint32_t sectionRva);

}  // namespace brxpack
