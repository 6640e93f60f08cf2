#pragma once
// Reading and replacing the resources of a Windows program, PE32 or PE32+.
// The resource section is rebuilt whole; sections behind it (the base
// relocations, as linkers place them) move with it, and the headers that
// describe the layout follow: section records, data directories, the image
// size and the checksum.
#include <cstdint>
#include <vector>

#include "brxpack/stub/pe_resources_tree.h"
#include "brxpack/result.h"
#include "package/memory_range.h"

namespace brxpack {

// Fails, saying why, for an image without resources or whose resource
// directory does not begin a section of its own.
Result<std::vector<Resource>> ReadResources(brx::MemoryRange image);

// The image with these resources instead of its own. Refuses what cannot be
// moved safely: bytes behind the last section (a signature, a package), a
// section behind the resources that is not discardable, or a data
// directory other than the base relocations inside the moving sections.
Result<std::vector<uint8_t>> ReplaceResources(brx::MemoryRange image,
                                              const std::vector<Resource>& resources);

// For the powers of two that a PE image's section and file alignments are.
inline uint64_t AlignUp(uint64_t value, uint32_t alignment) {
  return (value + alignment - 1) & ~uint64_t{alignment - 1};
}

}  // namespace brxpack
