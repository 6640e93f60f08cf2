#include "brxpack/commands/refuse.h"

#include <string_view>

namespace brxpack {

int Refuse(Console& console, const std::string& reason, int exitCode) {
  std::string_view rest = reason;
  for (;;) {
    const size_t end = rest.find('\n');
    console.err << "brxpack: " << rest.substr(0, end) << "\n";
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return exitCode;
}

void Warn(Console& console, const std::string& text) {
  console.err << "brxpack: warning: " << text << "\n";
}

}  // namespace brxpack
