#pragma once
// The file entries of planned jobs written out on several threads, each
// file whole or not at all. The first file that cannot be written (a full
// disk, a folder without write access) stops the run: no job starts after
// it, since every later file would fail the same way.
#include <string>
#include <vector>

#include "brxpack/host/progress_meter.h"
#include "brxpack/reading/extraction_plan.h"

namespace brxpack {

struct ExtractionOutcome {
  bool written = false;  // false with no error: not started, the run had stopped
  bool damaged = false;  // the entry's stream is damaged, rather than the output failing
  std::string error;     // a message for the console, empty unless it failed
};

// One outcome per job, in the jobs' order. Progress is advanced on the
// calling thread only.
std::vector<ExtractionOutcome> ExtractInParallel(const brx::Package& package,
                                                 const std::vector<ExtractionJob>& jobs,
                                                 unsigned threads, ProgressMeter& progress);

}  // namespace brxpack
