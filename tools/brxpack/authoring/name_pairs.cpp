#include "brxpack/authoring/name_pairs.h"

#include <optional>

#include "brxpack/contents/display_text.h"
#include "package/entry_names.h"

namespace brxpack {

NamePairs BuildNamePairs(const std::vector<NamePairItem>& renames,
                         const std::vector<FileCandidate>& candidates,
                         std::vector<std::string>& problems) {
  NamePairs pairs;
  std::vector<std::string> pairWhere;
  for (const NamePairItem& rename : renames) {
    pairs.emplace_back(rename.entry, rename.install);
    pairWhere.push_back(rename.where);
  }
  for (const FileCandidate& candidate : candidates) {
    if (!candidate.install || !candidate.entry) continue;
    const std::string& entry = *candidate.entry;
    std::optional<size_t> match;
    for (size_t i = 0; i < pairs.size() && !match; ++i) {
      if (brx::EntryNamesEqual(pairs[i].first.c_str(), entry.c_str())) match = i;
    }
    // The same pair again, or a rename that moves a payload folder file.
    if (match && (pairs[*match].second == *candidate.install || !candidate.installGiven)) {
      continue;
    }
    if (match) {
      problems.push_back(candidate.where + ": entry " + ShownName(entry) + " is installed as " +
                         ShownName(pairs[*match].second) + " by " + pairWhere[*match]);
      continue;
    }
    if (entry == *candidate.install) continue;
    pairs.emplace_back(entry, *candidate.install);
    pairWhere.push_back(candidate.where);
  }
  return pairs;
}

}  // namespace brxpack
