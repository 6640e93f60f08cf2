#include "brxpack/contents/section_bytes.h"

#include "package/entry_lookup.h"

namespace brxpack {

std::optional<SectionBytes> ProduceEntry(const brx::Package& package,
                                         const brx::DirectoryEntry& entry) {
  std::vector<uint8_t> bytes(entry.size);
  if (!brx::ExtractEntry(package, entry, bytes.data())) return std::nullopt;
  return SectionBytes(bytes);
}

}  // namespace brxpack
