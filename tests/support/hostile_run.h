#pragma once
// One whole run of the installer over a hostile package, measured: the
// package is put beside the installed target of target_fixture.h and
// applied through RunWorker, with its wall time and heap taken.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "run/worker_state.h"
#include "support/fake_system.h"

namespace brx::test {

inline constexpr char kHostilePackageFile[] = "C:\\Upd\\hostile.brx";

struct MeasuredRun {
  int32_t state = kRunning;
  double seconds = 0;
  size_t peakHeap = 0;      // most bytes held at once beyond those held before (0 if unmeasured)
  size_t largestBlock = 0;  // largest single allocation (0 if unmeasured)
};

// Installs the target (level 1) and the package file in `system`, then runs
// the worker on it. Only RunWorker itself is measured.
MeasuredRun ApplyHostilePackage(FakeSystem& system, const std::vector<uint8_t>& package);

// The figures as one line of the test's output, for the record.
void PrintMeasured(const char* what, const MeasuredRun& run);

}  // namespace brx::test
