#include "brxpack/simulate/tree_comparison.h"

#include <algorithm>
#include <map>
#include <system_error>

#include "brxpack/contents/package_path.h"
#include "brxpack/contents/windows1251.h"
#include "brxpack/host/host_file_io.h"
#include "brxpack/host/host_path.h"

namespace brxpack {

namespace fs = std::filesystem;

namespace {

struct Item {
  std::string shown;  // relative, backslashes, as spelt
  fs::path path;
  bool isFolder = false;
  uint64_t size = 0;
};
using Listing = std::map<std::string, Item>;  // by the path with A to Z folded

Result<Listing> ListTree(const fs::path& folder, PassedOver passedOver) {
  Listing listing;
  std::error_code error;
  fs::recursive_directory_iterator walk(folder, error);
  for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
    Item item{WithBackslashes(Utf8FromPath(walk->path().lexically_relative(folder))), walk->path()};
    if (passedOver != nullptr && passedOver(item.shown)) {
      walk.disable_recursion_pending();
      continue;
    }
    std::error_code itemError;
    item.isFolder = walk->is_directory(itemError);
    if (!item.isFolder) item.size = walk->file_size(itemError);
    if (itemError) {
      return Error{Utf8FromPath(walk->path()) + ": cannot read: " + SystemErrorText(itemError)};
    }
    listing.emplace(FoldedName(item.shown), std::move(item));
  }
  if (error) return Error{Utf8FromPath(folder) + ": cannot list: " + SystemErrorText(error)};
  return listing;
}

std::string FileName(const std::string& shown) {
  return shown.substr(shown.find_last_of('\\') + 1);
}

bool IsBackup(const std::string& shown) {
  return FoldedName(shown).ends_with(".bak");
}

}  // namespace

Result<std::vector<std::string>> CompareTrees(const fs::path& result, const fs::path& expected,
                                              PassedOver passedOver) {
  Result<Listing> got = ListTree(result, passedOver);
  if (!got.ok()) return got.TakeError();
  Result<Listing> want = ListTree(expected, passedOver);
  if (!want.ok()) return want.TakeError();
  std::vector<std::string> differences;
  for (const auto& [key, item] : *got) {
    const auto other = want->find(key);
    if (other == want->end()) {
      differences.push_back(item.shown + (item.isFolder ? "\\" : "") +
                            (IsBackup(item.shown) ? ": a backup left behind" : ": not expected"));
    } else if (item.isFolder != other->second.isFolder) {
      differences.push_back(item.shown + (item.isFolder ? ": a folder, expected a file"
                                                        : ": a file, expected a folder"));
    } else if (!item.isFolder) {
      if (FileName(item.shown) != FileName(other->second.shown)) {
        differences.push_back(item.shown + ": expected as " + FileName(other->second.shown));
      }
      Result<std::vector<bool>> same =
          SameContentsAsEach({item.path, item.size}, {{other->second.path, other->second.size}});
      if (!same.ok()) return same.TakeError();
      if (!same->front()) differences.push_back(item.shown + ": contents differ");
    }
  }
  for (const auto& [key, item] : *want) {
    if (got->count(key) == 0)
      differences.push_back(item.shown + (item.isFolder ? "\\" : "") + ": missing");
  }
  std::sort(differences.begin(), differences.end());
  return differences;
}

}  // namespace brxpack
