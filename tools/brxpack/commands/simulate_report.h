#pragma once
// What simulate prints of its installations: each run as the user would see
// it, one verdict line a release, or all of it as one JSON object.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "brxpack/host/console.h"
#include "brxpack/simulate/installation_simulation.h"

namespace brxpack {

struct SimulateOptions {
  std::filesystem::path package;
  std::vector<std::filesystem::path> installed;  // one installation each
  std::string program;  // UTF-8, below each installed release; empty: the one .exe at its top
  std::vector<int32_t> levels;   // none (0), one for all, or one per installed release
  std::filesystem::path output;  // empty: a temporary folder; with several, one below it each
  bool inPlace = false;
  bool keep = false;
  std::string answer = "ok";     // or "cancel"
  std::string commands = "ok";   // or "fail"
  std::filesystem::path expect;  // empty: no comparison
  bool json = false;
};

struct SimulatedRelease {
  std::string installed;   // the release as the publisher named it
  std::string place;       // where the installation ran (UTF-8)
  bool temporary = false;  // the place is a temporary folder, removed at the end unless kept
  SimulationReport report;
  std::optional<std::vector<std::string>> differences;  // with --expect: one line each

  // The run ended with the success text and, with --expect, gave that release.
  bool ok() const { return report.succeeded && (!differences || differences->empty()); }
};

bool AllOk(const std::vector<SimulatedRelease>& runs);

// The run's texts, boxes, commands and registry writes, its result and its
// comparison with --expect.
void PrintRunText(const SimulatedRelease& run, const SimulateOptions& options, Console& console);

// "release   1.0: installed, patch level 0 -> 3; the result equals 2.0".
void PrintVerdicts(const std::vector<SimulatedRelease>& runs, const SimulateOptions& options,
                   Console& console);

void PrintRunsJson(const std::vector<SimulatedRelease>& runs, const SimulateOptions& options,
                   Console& console);

}  // namespace brxpack
