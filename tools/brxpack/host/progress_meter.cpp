#include "brxpack/host/progress_meter.h"

#include <cstdio>
#include <utility>

namespace brxpack {

ProgressMeter::ProgressMeter(ProgressTarget target, uint64_t total)
    : terminal_(target.terminal),
      enabled_(target.terminal != nullptr && total >= kProgressThreshold),
      what_(std::move(target.what)),
      total_(total) {}

ProgressMeter::~ProgressMeter() {
  Finish();
}

void ProgressMeter::Advance(uint64_t bytes) {
  if (!enabled_) return;
  done_ += bytes;
  const int percent = static_cast<int>(done_ * 100 / total_);
  // Redrawing only when the figure changes keeps the terminal cheap.
  if (percent == shownPercent_) return;
  shownPercent_ = percent;
  char line[128];
  std::snprintf(line, sizeof line, "\r%s: %3d%% (%.1f of %.1f MB)", what_.c_str(), percent,
                static_cast<double>(done_) / 1e6, static_cast<double>(total_) / 1e6);
  *terminal_ << line << std::flush;
}

void ProgressMeter::Finish() {
  if (!enabled_) return;
  enabled_ = false;
  *terminal_ << "\n" << std::flush;
}

}  // namespace brxpack
