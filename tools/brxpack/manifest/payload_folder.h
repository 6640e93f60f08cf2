#pragma once
// The files of a payload folder, each to become a file entry installed under
// its path relative to the folder. The one walk of a folder tree, with its
// exclusions, for every command that takes files from one.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "brxpack/manifest/path_pattern.h"
#include "brxpack/result.h"

namespace brxpack {

struct PayloadFile {
  std::string relative;  // UTF-8, components joined by "/"
  std::filesystem::path path;
  uint64_t size = 0;
};

// Which files of the folder are taken. Version-control folders (.git, .svn,
// .hg) and the systems' own files (Thumbs.db, desktop.ini, .DS_Store) are
// left out always, files matching `exclude` as well; a file matching
// `include` is taken all the same.
struct PayloadRules {
  bool followLinks = false;  // else a symbolic link is refused
  std::vector<PathPattern> exclude;
  std::vector<PathPattern> include;
};

// Whether the version-control folders and the systems' own files, which
// every payload folder leaves out, name this relative path ("/" or "\\"
// between names) or a folder above it. simulate --expect passes over them
// too, so an update made by diff is proved equal to NEW.
bool IsAlwaysLeftOut(const std::string& relative);

// Every file the rules take below the folder, sorted by relative path so
// that a build is reproducible, and the folders they take (relative, "/",
// sorted): what two releases are compared by, since a folder can appear or
// go without a file. Fails for a symbolic link the rules do not allow (or
// one that points nowhere), for anything that is neither a file nor a
// folder, and for a folder that cannot be listed. `where` names the
// manifest field in messages.
struct PayloadTree {
  std::vector<PayloadFile> files;
  std::vector<std::string> folders;
  // What the always-left-out rule dropped (relative, "/"; a folder stands
  // for what it holds), so that diff can say so.
  std::vector<std::string> alwaysLeftOut;
};
Result<PayloadTree> ScanPayloadTree(const std::filesystem::path& folder, const PayloadRules& rules,
                                    const std::string& where);

}  // namespace brxpack
