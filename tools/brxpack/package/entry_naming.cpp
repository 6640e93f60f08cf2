#include "brxpack/package/entry_naming.h"

#include <map>

#include "brxpack/contents/display_text.h"
#include "brxpack/contents/folded_name.h"
#include "package/format.h"

namespace brxpack {

std::string GeneratedEntryName(unsigned number, const std::string& installedPath) {
  std::string prefix = std::to_string(number);
  prefix.insert(prefix.begin(), '~');
  prefix.push_back('~');
  const size_t slash = installedPath.find_last_of("\\/");
  const std::string base =
      slash == std::string::npos ? installedPath : installedPath.substr(slash + 1);
  const size_t room = brx::kEntryNameSize - 1 - prefix.size();
  if (base.size() <= room) return prefix + base;
  // The start of the name and its extension say most about the file.
  const size_t dot = base.find_last_of('.');
  const std::string extension =
      dot != std::string::npos && base.size() - dot <= 8 ? base.substr(dot) : "";
  return prefix + base.substr(0, room - extension.size()) + extension;
}

void NameEntries(std::vector<FileCandidate>& candidates, std::vector<std::string>& problems) {
  std::map<std::string, std::string> taken;  // folded name -> where it was given
  const auto take = [&](const std::string& name, const std::string& where) {
    auto [place, added] = taken.emplace(FoldedName(name), where);
    if (!added) {
      problems.push_back(where + ": entry name " + ShownName(name) + " is already used by " +
                         place->second);
    }
  };
  for (FileCandidate& candidate : candidates) {
    if (!candidate.entry && candidate.install->size() < brx::kEntryNameSize) {
      candidate.entry = candidate.install;
    }
    if (candidate.entry) take(*candidate.entry, candidate.where);
  }
  // Generated names come last, so that they step around every given one.
  unsigned number = 0;
  for (FileCandidate& candidate : candidates) {
    if (candidate.entry || !candidate.install) continue;
    std::string name;
    do {
      name = GeneratedEntryName(++number, *candidate.install);
    } while (taken.count(FoldedName(name)) != 0);
    take(name, candidate.where);
    candidate.entry = name;
  }
}

}  // namespace brxpack
