#pragma once
// The file entries of planned jobs written out on several threads, each
// file whole or not at all.
#include <string>
#include <vector>

#include "brxpack/host/progress_meter.h"
#include "brxpack/reading/extraction_plan.h"

namespace brxpack {

struct ExtractionOutcome {
  bool damaged = false;  // the entry's stream is damaged, rather than the output failing
  std::string error;     // a message for the console, empty on success
};

// One outcome per job, in the jobs' order. Progress is advanced on the
// calling thread only.
std::vector<ExtractionOutcome> ExtractInParallel(const brx::Package& package,
                                                 const std::vector<ExtractionJob>& jobs,
                                                 unsigned threads, ProgressMeter& progress);

}  // namespace brxpack
