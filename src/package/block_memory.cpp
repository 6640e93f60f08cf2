#include "package/block_memory.h"

#include <cstdlib>

namespace brx {

namespace {
// Read and changed by the worker's thread alone.
BlockAllocator allocator = nullptr;
}  // namespace

void* AllocateBlock(size_t size) {
  return allocator != nullptr ? allocator(size) : std::malloc(size);
}

void UseBlockAllocator(BlockAllocator replacement) {
  allocator = replacement;
}

}  // namespace brx
