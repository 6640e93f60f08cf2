#include "brxpack/manifest/path_pattern.h"

#include "brxpack/contents/package_path.h"
#include "package/entry_names.h"

namespace brxpack {

namespace {

constexpr std::string_view kAnyFolders = "**";

// Wildcards within one name; after a "*" the match backtracks to the last
// star only, which keeps it linear in practice.
bool NameMatches(std::string_view pattern, std::string_view name) {
  size_t p = 0;
  size_t n = 0;
  size_t star = std::string_view::npos;
  size_t resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || brx::FoldLatin(pattern[p]) == brx::FoldLatin(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// Whether the pattern's components from `p` on match a leading part of the
// path's components from `c` on.
bool PrefixMatches(const std::vector<std::string>& pattern, size_t p,
                   const std::vector<std::string>& path, size_t c) {
  if (p == pattern.size()) return true;
  if (pattern[p] == kAnyFolders) {
    return PrefixMatches(pattern, p + 1, path, c) ||
           (c < path.size() && PrefixMatches(pattern, p, path, c + 1));
  }
  return c < path.size() && NameMatches(pattern[p], path[c]) &&
         PrefixMatches(pattern, p + 1, path, c + 1);
}

}  // namespace

Result<PathPattern> PathPattern::Parse(std::string_view text) {
  PathPattern pattern;
  pattern.components_ = PathComponents(text);
  if (pattern.components_.empty()) return Error{"is empty"};
  for (const std::string& component : pattern.components_) {
    if (component == "." || component == "..") {
      return Error{"holds a \"" + component + "\" component; patterns name paths below the folder"};
    }
  }
  const bool anchored = text.find_first_of("/\\") != std::string_view::npos;
  if (!anchored) pattern.components_.insert(pattern.components_.begin(), std::string(kAnyFolders));
  return pattern;
}

bool PathPattern::Matches(std::string_view relative) const {
  return PrefixMatches(components_, 0, PathComponents(relative), 0);
}

bool MatchesAny(const std::vector<PathPattern>& patterns, std::string_view relative) {
  for (const PathPattern& pattern : patterns) {
    if (pattern.Matches(relative)) return true;
  }
  return false;
}

}  // namespace brxpack
