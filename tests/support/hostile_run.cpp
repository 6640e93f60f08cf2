#include "support/hostile_run.h"

#include <chrono>
#include <cstdio>
#include <string>

#include "app/worker.h"
#include "support/heap_watch.h"
#include "support/target_fixture.h"

namespace brx::test {

MeasuredRun ApplyHostilePackage(FakeSystem& system, const std::vector<uint8_t>& package) {
  InstallTarget(system, 1);
  system.AddFile(kHostilePackageFile, AsString(package));
  const std::string commandLine = std::string("PATCH.EXE ") + kHostilePackageFile;
  WorkerState state{kRunning};
  MeasuredRun run;
  {
    HeapWatch heap;
    const auto start = std::chrono::steady_clock::now();
    RunWorker(system, commandLine.c_str(), state);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakHeap = heap.peakGrowth();
    run.largestBlock = heap.largestBlock();
  }
  run.state = state.load();
  return run;
}

void PrintMeasured(const char* what, const MeasuredRun& run) {
  constexpr double kMiB = 1024.0 * 1024.0;
  if (!HeapWatch::available()) {
    std::printf("[ hostile  ] %s: %.3f s (heap not measured in this build)\n", what, run.seconds);
    return;
  }
  std::printf("[ hostile  ] %s: %.3f s, heap peak +%.2f MiB, largest block %.2f MiB\n", what,
              run.seconds, static_cast<double>(run.peakHeap) / kMiB,
              static_cast<double>(run.largestBlock) / kMiB);
}

}  // namespace brx::test
