#pragma once
// Measures the heap a piece of code takes, so a test can show that hostile
// input keeps memory bounded. Counts allocations and releases through the
// address sanitizer's hooks; without it the figures stay 0.
#include <cstddef>

namespace brx::test {

// Counts from construction until destruction, on every thread; watches do
// not nest.
class HeapWatch {
 public:
  HeapWatch();
  ~HeapWatch();
  HeapWatch(const HeapWatch&) = delete;
  HeapWatch& operator=(const HeapWatch&) = delete;

  // The most bytes held at once beyond those held when the watch started.
  size_t peakGrowth() const;
  size_t largestBlock() const;
};

}  // namespace brx::test
