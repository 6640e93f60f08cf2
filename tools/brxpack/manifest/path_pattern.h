#pragma once
// Patterns that pick files of a payload folder by their path below it, as
// the [payload] exclude and include lists write them.
#include <string>
#include <string_view>
#include <vector>

#include "brxpack/result.h"

namespace brxpack {

// "*" stands for any characters within one name, "?" for one character,
// and a "**" component for any number of folders; letters match in either
// case, as on Windows, and "/" and "\" both separate. A pattern without a
// separator matches a file or folder of that name anywhere ("*.pdb",
// ".git"); one with a separator matches from the payload folder down
// ("docs/drafts", "**/cache/*.tmp"). A pattern that matches a folder
// matches everything below it.
class PathPattern {
 public:
  // Fails for an empty pattern and for "." or ".." components.
  static Result<PathPattern> Parse(std::string_view text);

  // relative: a path below the payload folder, names joined by "/".
  bool Matches(std::string_view relative) const;

 private:
  std::vector<std::string> components_;
};

bool MatchesAny(const std::vector<PathPattern>& patterns, std::string_view relative);

}  // namespace brxpack
