#include "brxpack/package/name_pairs.h"

#include <unordered_map>
#include <unordered_set>

#include "brxpack/contents/display_text.h"
#include "brxpack/contents/folded_name.h"

namespace brxpack {

NamePairs BuildNamePairs(const std::vector<NamePairItem>& renames,
                         const std::vector<FileCandidate>& candidates,
                         std::vector<std::string>& problems) {
  NamePairs pairs;
  std::vector<std::string> pairWhere;
  std::unordered_map<std::string, size_t> pairOf;  // folded entry name -> its first pair
  const auto add = [&](const std::string& entry, const std::string& install,
                       const std::string& where) {
    pairOf.emplace(FoldedName(entry), pairs.size());
    pairs.emplace_back(entry, install);
    pairWhere.push_back(where);
  };
  for (const NamePairItem& rename : renames) add(rename.entry, rename.install, rename.where);
  std::unordered_set<std::string> entries;
  for (const FileCandidate& candidate : candidates) {
    if (!candidate.entry) continue;
    const std::string& entry = *candidate.entry;
    entries.insert(FoldedName(entry));
    if (!candidate.install) continue;
    const auto match = pairOf.find(FoldedName(entry));
    if (match != pairOf.end()) {
      const size_t pair = match->second;
      // The same pair again, or a rename that moves a payload folder file.
      if (pairs[pair].second == *candidate.install || !candidate.installGiven) continue;
      problems.push_back(candidate.where + ": entry " + ShownName(entry) + " is installed as " +
                         ShownName(pairs[pair].second) + " by " + pairWhere[pair]);
      continue;
    }
    if (entry != *candidate.install) add(entry, *candidate.install, candidate.where);
  }
  for (const NamePairItem& rename : renames) {
    if (entries.count(FoldedName(rename.entry)) == 0) {
      problems.push_back(rename.where + ".entry: " + ShownName(rename.entry) +
                         " names no entry of the package, so its pair would never be used");
    }
  }
  return pairs;
}

}  // namespace brxpack
