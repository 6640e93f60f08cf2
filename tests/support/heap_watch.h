#pragma once
// Measures the heap a piece of code takes, so a test can show that hostile
// input keeps memory bounded. Counts every allocation and release through
// the address sanitizer's hooks; in a build without it, available() is
// false and every figure stays 0.
#include <cstddef>

namespace brx::test {

class HeapWatch {
 public:
  static bool available();

  // Counts from construction until destruction; watches do not nest.
  HeapWatch();
  ~HeapWatch();
  HeapWatch(const HeapWatch&) = delete;
  HeapWatch& operator=(const HeapWatch&) = delete;

  // The most bytes held at once beyond those held when the watch started.
  size_t peakGrowth() const;
  // The largest single block asked for.
  size_t largestBlock() const;
};

}  // namespace brx::test
