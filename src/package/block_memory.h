#pragma once
// Where a run's section blocks and the name table's index take their memory.
// Every phase answers deliberately when its block cannot be had, and no real
// allocator fails on demand, so tests put in one that does.
#include <cstddef>

namespace brx {

using BlockAllocator = void* (*)(size_t size);

// std::malloc, or the allocator last put in; the block is freed with std::free.
void* AllocateBlock(size_t size);

// Makes AllocateBlock use `allocator`; nullptr puts std::malloc back.
void UseBlockAllocator(BlockAllocator allocator);

}  // namespace brx
