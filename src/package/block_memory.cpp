#include "package/block_memory.h"

#include <cstdlib>

namespace brx {

namespace {
// Changed only by tests, between runs; read by the thread that runs them.
BlockAllocator allocator = nullptr;
}  // namespace

void* AllocateBlock(size_t size) {
  return allocator != nullptr ? allocator(size) : std::malloc(size);
}

void UseBlockAllocator(BlockAllocator replacement) {
  allocator = replacement;
}

}  // namespace brx
