#pragma once
// Where a command prints: results to out, messages and progress to err.
// Tests hand in string streams.
#include <ostream>

namespace brxpack {

struct Console {
  std::ostream& out;
  std::ostream& err;
  bool errIsTerminal = false;  // progress is drawn only on a terminal
  bool quiet = false;          // -q: only results, warnings and errors

  bool showsProgress() const { return errIsTerminal && !quiet; }
};

}  // namespace brxpack
