#include "brxpack/host/progress_meter.h"

#include <cstdio>
#include <utility>

namespace brxpack {

ProgressMeter::ProgressMeter(std::ostream& terminal, bool isTerminal, std::string what,
                             uint64_t total)
    : terminal_(terminal),
      enabled_(isTerminal && total >= kProgressThreshold),
      what_(std::move(what)),
      total_(total) {}

namespace {

// Never drawn on: a meter without a terminal is disabled.
std::ostream& NoTerminal() {
  static std::ostream none(nullptr);
  return none;
}

}  // namespace

ProgressMeter::ProgressMeter(const ProgressTarget& target, uint64_t total)
    : ProgressMeter(target.terminal != nullptr ? *target.terminal : NoTerminal(),
                    target.terminal != nullptr, target.what, total) {}

ProgressMeter::~ProgressMeter() {
  Finish();
}

void ProgressMeter::Advance(uint64_t bytes) {
  if (!enabled_) return;
  done_ += bytes;
  Draw();
}

void ProgressMeter::Draw() {
  const int percent = static_cast<int>(done_ * 100 / total_);
  // Redrawing only when the figure changes keeps the terminal cheap.
  if (percent == shownPercent_) return;
  shownPercent_ = percent;
  char line[128];
  std::snprintf(line, sizeof line, "\r%s: %3d%% (%.1f of %.1f MB)", what_.c_str(), percent,
                static_cast<double>(done_) / 1e6, static_cast<double>(total_) / 1e6);
  terminal_ << line << std::flush;
}

void ProgressMeter::Finish() {
  if (!enabled_) return;
  enabled_ = false;
  terminal_ << "\n" << std::flush;
}

}  // namespace brxpack
