#pragma once
// Reading and replacing the resources of a Windows program, PE32 or PE32+.
// The resource section is rebuilt whole; sections behind it (the base
// relocations, as linkers place them) move with it, and the headers that
// describe the layout follow: section records, data directories, the image
// size and the checksum.
#include <cstdint>
#include <string>
#include <vector>

#include "brxpack/result.h"
#include "package/format.h"
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

// The resources as a flat list, read from the three-level directory tree
// (type, name, language) of the resource section; every bounds check on the
// tree is made by this reader. `section` holds the tree at its start and is
// mapped at address `sectionRva`; every data record must point inside it.
// Fails, saying why, for a tree that is cut short, deeper or shallower than
// three levels, or larger than its bytes can hold.
Result<std::vector<Resource>> ReadResourceTree(brx::MemoryRange section, uint32_t sectionRva);

// The section's bytes for these resources, to be mapped at `sectionRva`:
// directories sorted as the loader searches them (texts first, then
// numbers, each ascending), then names, data records and data.
std::vector<uint8_t> WriteResourceTree(std::vector<Resource> resources, uint32_t sectionRva);

// Fails, saying why, for an image without resources or whose resource
// directory does not begin a section of its own.
Result<std::vector<Resource>> ReadResources(brx::MemoryRange image);

// The image with these resources instead of its own. Refuses what cannot be
// moved safely: bytes behind the last section (a signature, a package), a
// section behind the resources that is not discardable, or a data
// directory other than the base relocations inside the moving sections.
Result<std::vector<uint8_t>> ReplaceResources(brx::MemoryRange image,
                                              const std::vector<Resource>& resources);

// Little-endian 16- and 32-bit fields of Windows programs and their
// resources, beside package/format.h's readers and 32-bit writer.
using brx::ReadLe16;

inline void WriteLe16(uint8_t* bytes, uint16_t value) {
  bytes[0] = static_cast<uint8_t>(value);
  bytes[1] = static_cast<uint8_t>(value >> 8);
}

inline void AppendLe16(std::vector<uint8_t>& bytes, uint16_t value) {
  bytes.push_back(static_cast<uint8_t>(value));
  bytes.push_back(static_cast<uint8_t>(value >> 8));
}

inline void AppendLe32(std::vector<uint8_t>& bytes, uint32_t value) {
  AppendLe16(bytes, static_cast<uint16_t>(value));
  AppendLe16(bytes, static_cast<uint16_t>(value >> 16));
}

// For the powers of two that a PE image's section and file alignments are.
inline uint64_t AlignUp(uint64_t value, uint32_t alignment) {
  return (value + alignment - 1) & ~uint64_t{alignment - 1};
}

}  // namespace brxpack
