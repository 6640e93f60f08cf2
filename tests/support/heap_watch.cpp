#include "support/heap_watch.h"

#include <atomic>
#include <cstdint>

#if defined(__SANITIZE_ADDRESS__)
#define BRX_HEAP_HOOKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BRX_HEAP_HOOKS 1
#endif
#endif

#if BRX_HEAP_HOOKS
// The sanitizer runtime's own interface; GCC ships no header for it.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*,
                                                                            size_t),
                                                         void (*freeHook)(const volatile void*));
extern "C" size_t __sanitizer_get_allocated_size(const volatile void* pointer);
#endif

namespace brx::test {
namespace {

std::atomic<bool> watching{false};
// Signed: blocks taken before the watch started may be released during it.
std::atomic<int64_t> held{0};
std::atomic<int64_t> peak{0};
std::atomic<size_t> largest{0};

template <typename T>
void RaiseTo(std::atomic<T>& maximum, T value) {
  T seen = maximum.load(std::memory_order_relaxed);
  while (value > seen && !maximum.compare_exchange_weak(seen, value, std::memory_order_relaxed)) {
  }
}

#if BRX_HEAP_HOOKS
void OnAllocate(const volatile void*, size_t size) {
  if (!watching.load(std::memory_order_relaxed)) return;
  RaiseTo(largest, size);
  RaiseTo(peak, held.fetch_add(static_cast<int64_t>(size), std::memory_order_relaxed) +
                    static_cast<int64_t>(size));
}

// Runs while the block is still allocated, so its size can be asked for.
void OnRelease(const volatile void* pointer) {
  if (pointer == nullptr || !watching.load(std::memory_order_relaxed)) return;
  held.fetch_sub(static_cast<int64_t>(__sanitizer_get_allocated_size(pointer)),
                 std::memory_order_relaxed);
}

// The runtime has a few hook slots and no way to free one: install once.
bool InstallHooks() {
  static const bool installed = __sanitizer_install_malloc_and_free_hooks(OnAllocate, OnRelease);
  return installed;
}
#else
bool InstallHooks() {
  return false;
}
#endif

}  // namespace

bool HeapWatch::available() {
  return InstallHooks();
}

HeapWatch::HeapWatch() {
  InstallHooks();
  held.store(0);
  peak.store(0);
  largest.store(0);
  watching.store(true);
}

HeapWatch::~HeapWatch() {
  watching.store(false);
}

size_t HeapWatch::peakGrowth() const {
  return static_cast<size_t>(peak.load());
}

size_t HeapWatch::largestBlock() const {
  return largest.load();
}

}  // namespace brx::test
