#include "support/heap_watch.h"

#include <algorithm>
#include <atomic>
#include <cstdint>

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's own interface; GCC ships no header for it.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*,
                                                                            size_t),
                                                         void (*freeHook)(const volatile void*));
extern "C" size_t __sanitizer_get_allocated_size(const volatile void* pointer);
#endif

namespace brx::test {
namespace {

// Only the test's own thread allocates while watching.
std::atomic<bool> watching = false;
// Signed: blocks taken before the watch started may be released during it.
int64_t held = 0;
int64_t peak = 0;
size_t largest = 0;

#if defined(__SANITIZE_ADDRESS__)
void OnAllocate(const volatile void*, size_t size) {
  if (!watching) return;
  largest = std::max(largest, size);
  held += static_cast<int64_t>(size);
  peak = std::max(peak, held);
}

// Runs while the block is still allocated, so its size can be asked for.
void OnRelease(const volatile void* pointer) {
  if (pointer != nullptr && watching) {
    held -= static_cast<int64_t>(__sanitizer_get_allocated_size(pointer));
  }
}

// The runtime has a few hook slots and no way to free one: install once.
[[maybe_unused]] const bool installed =
    __sanitizer_install_malloc_and_free_hooks(OnAllocate, OnRelease);
#endif

}  // namespace

HeapWatch::HeapWatch() {
  held = 0;
  peak = 0;
  largest = 0;
  watching = true;
}

HeapWatch::~HeapWatch() {
  watching = false;
}

size_t HeapWatch::peakGrowth() const {
  return static_cast<size_t>(peak);
}

size_t HeapWatch::largestBlock() const {
  return largest;
}

}  // namespace brx::test
