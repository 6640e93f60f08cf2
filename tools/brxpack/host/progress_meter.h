#pragma once
// Progress of a long build or extraction on the terminal: one line redrawn
// in place, only when there is a terminal and enough work to be worth it.
#include <cstdint>
#include <ostream>
#include <string>
#include <utility>

#include "brxpack/host/console.h"

namespace brxpack {

// Work below this many bytes finishes too fast for progress to be useful.
inline constexpr uint64_t kProgressThreshold = 4u << 20;

// Where a meter draws, and what its line calls the work ("measuring the
// update").
struct ProgressTarget {
  std::ostream* terminal = nullptr;  // none: no progress
  std::string what;
};

// The console's error stream when it shows progress (a terminal, no -q).
inline ProgressTarget ProgressOn(const Console& console, std::string what) {
  return {console.showsProgress() ? &console.err : nullptr, std::move(what)};
}

class ProgressMeter {
 public:
  // Draws only on a terminal, and when total is at least the threshold.
  ProgressMeter(ProgressTarget target, uint64_t total);
  ~ProgressMeter();

  // Called from one thread only.
  void Advance(uint64_t bytes);
  // Ends the line; called by the destructor too.
  void Finish();

 private:
  std::ostream* terminal_;
  bool enabled_;
  std::string what_;
  uint64_t total_;
  uint64_t done_ = 0;
  int shownPercent_ = -1;
};

}  // namespace brxpack
