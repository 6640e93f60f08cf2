#pragma once
// Names the known word a mistyped one most likely meant, for "did you mean"
// in errors about commands, options and manifest keys.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brxpack {

// The known word within a couple of edits of word (a swap of two neighbours
// counts as one), the nearest first in known's order; none when every known
// word is further off than a typo.
std::optional<std::string> ClosestName(std::string_view word,
                                       const std::vector<std::string>& known);

// ", did you mean X?" for the closest known word, or "" when none is close.
std::string DidYouMean(std::string_view word, const std::vector<std::string>& known);

}  // namespace brxpack
