#include "brxpack/contents/closest_name.h"

#include <algorithm>

namespace brxpack {

namespace {

// Optimal string alignment distance: insertions, deletions, substitutions
// and swaps of two neighbouring letters ("levle") cost one each.
size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= b.size(); ++j) {
      d[i][j] = std::min(
          {d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1] ? 1u : 0u)});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[a.size()][b.size()];
}

}  // namespace

std::optional<std::string> ClosestName(std::string_view word,
                                       const std::vector<std::string>& known) {
  // A typo is at most two edits, and never most of a short word.
  const size_t limit = std::min<size_t>(2, std::max<size_t>(1, word.size() / 3));
  std::optional<std::string> closest;
  size_t best = limit + 1;
  for (const std::string& name : known) {
    const size_t distance = EditDistance(word, name);
    if (distance < best) {
      best = distance;
      closest = name;
    }
  }
  return closest;
}

std::string DidYouMean(std::string_view word, const std::vector<std::string>& known) {
  const std::optional<std::string> closest = ClosestName(word, known);
  return closest ? ", did you mean " + *closest + "?" : "";
}

}  // namespace brxpack
