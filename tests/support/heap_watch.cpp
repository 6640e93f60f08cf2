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

// Counts every thread's blocks: the code watched may run threads of its own.
std::atomic<bool> watching = false;
// Signed: blocks taken before the watch started may be released during it.
std::atomic<int64_t> held = 0;
std::atomic<int64_t> peak = 0;
std::atomic<size_t> largest = 0;

#if defined(__SANITIZE_ADDRESS__)
template <typename T>
void RaiseTo(std::atomic<T>& most, T value) {
  T seen = most.load();
  while (seen < value && !most.compare_exchange_weak(seen, value)) {
  }
}

void OnAllocate(const volatile void*, size_t size) {
  if (!watching) return;
  RaiseTo(largest, size);
  RaiseTo(peak, held += static_cast<int64_t>(size));
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
  return static_cast<size_t>(peak.load());
}

size_t HeapWatch::largestBlock() const {
  return largest.load();
}

}  // namespace brx::test
