#pragma once
// What a build wrote, said once at its end: the "wrote" lines, or with
// --json one object for scripts.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "brxpack/host/console.h"

namespace brxpack {

struct BuildReport {
  std::optional<std::string> package;  // the package file, when one was written
  std::optional<std::string> exe;      // the self-applying executable, when one was written
  std::optional<std::string> brand;    // "Product 1.2.3" when the installer carries a brand
  uint64_t entries = 0;
  uint64_t sections = 0;
  uint64_t files = 0;
  uint64_t compressed = 0;    // entries held as zlib streams; the rest are stored blocks
  uint64_t contentBytes = 0;  // the entries' bytes as installed
  uint64_t packageBytes = 0;  // the package as written, without the stub
  std::vector<std::string> warnings;
  bool json = false;  // the report is printed as JSON at the end, so no lines before
};

// The summary line of the package: "wrote FILE: 3 entries (...), 1.2 KB in 900 bytes".
void PrintBuildSummary(const BuildReport& report, const std::string& what, Console& console);

// One JSON object with every field of the report.
void PrintBuildJson(const BuildReport& report, Console& console);

}  // namespace brxpack
