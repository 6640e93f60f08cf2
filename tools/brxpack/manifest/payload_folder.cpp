#include "brxpack/manifest/payload_folder.h"

#include <algorithm>
#include <system_error>

#include "brxpack/host/host_path.h"

namespace brxpack {

namespace {

const std::vector<PathPattern>& AlwaysLeftOut() {
  static const std::vector<PathPattern> patterns = [] {
    std::vector<PathPattern> list;
    for (const char* name : {".git", ".svn", ".hg", "Thumbs.db", "desktop.ini", ".DS_Store"}) {
      list.push_back(*PathPattern::Parse(name));
    }
    return list;
  }();
  return patterns;
}

bool LeftOut(const PayloadRules& rules, const std::string& relative) {
  const bool excluded =
      MatchesAny(AlwaysLeftOut(), relative) || MatchesAny(rules.exclude, relative);
  return excluded && !MatchesAny(rules.include, relative);
}

}  // namespace

bool IsAlwaysLeftOut(const std::string& relative) {
  return MatchesAny(AlwaysLeftOut(), relative);
}

Result<PayloadTree> ScanPayloadTree(const std::filesystem::path& folder, const PayloadRules& rules,
                                    const std::string& where) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    return Error{where + ": " + Utf8FromPath(folder) + ": no such folder"};
  }
  PayloadTree tree;
  const fs::directory_options options = rules.followLinks
                                            ? fs::directory_options::follow_directory_symlink
                                            : fs::directory_options::none;
  fs::recursive_directory_iterator walk(folder, options, error);
  for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
    const fs::directory_entry& item = *walk;
    const std::string relative = GenericUtf8(item.path().lexically_relative(folder));
    std::error_code itemError;
    const bool link = item.is_symlink(itemError);
    const bool isFolder = item.is_directory(itemError);
    if (LeftOut(rules, relative)) {
      const bool below = std::any_of(
          tree.alwaysLeftOut.begin(), tree.alwaysLeftOut.end(), [&](const std::string& above) {
            return relative.size() > above.size() &&
                   relative.compare(0, above.size(), above) == 0 && relative[above.size()] == '/';
          });
      if (IsAlwaysLeftOut(relative) && !below) tree.alwaysLeftOut.push_back(relative);
      // Nothing below a folder left out is taken, unless an include names it.
      if (isFolder && rules.include.empty()) walk.disable_recursion_pending();
      continue;
    }
    if (link && !rules.followLinks) {
      return Error{Utf8FromPath(item.path()) +
                   ": a symbolic link; a payload takes the files links point to only "
                   "with [payload] symlinks = true"};
    }
    if (isFolder) {
      tree.folders.push_back(relative);
      continue;
    }
    if (!item.is_regular_file(itemError)) {
      return Error{Utf8FromPath(item.path()) + (link ? ": a symbolic link that points to no file"
                                                     : ": neither a file nor a folder")};
    }
    const uint64_t size = item.file_size(itemError);
    if (itemError) {
      return Error{Utf8FromPath(item.path()) +
                   ": cannot read its size: " + SystemErrorText(itemError)};
    }
    tree.files.push_back({relative, item.path(), size});
  }
  if (error) {
    return Error{where + ": " + Utf8FromPath(folder) + ": cannot list: " + SystemErrorText(error)};
  }
  std::sort(tree.files.begin(), tree.files.end(),
            [](const PayloadFile& a, const PayloadFile& b) { return a.relative < b.relative; });
  std::sort(tree.folders.begin(), tree.folders.end());
  std::sort(tree.alwaysLeftOut.begin(), tree.alwaysLeftOut.end());
  return tree;
}

}  // namespace brxpack
