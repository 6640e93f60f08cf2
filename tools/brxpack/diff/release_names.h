#pragma once
// The names of release folders judged as build judges a manifest's paths,
// before diff writes one: a manifest that build refuses, or that lists one
// path both to install and to remove, is never written.
#include <string>
#include <vector>

#include "brxpack/manifest/payload_folder.h"
#include "brxpack/diff/release_diff.h"
#include "brxpack/contents/package_path.h"

namespace brxpack {

// Adds to `problems` one line per file or folder of the release whose name
// the package cannot hold or the installer must not use, naming the
// release: a name without a Windows-1251 form, a host name holding "\"
// (which would split it into folders), and whatever PackagePathProblem
// refuses for its use (`files`: installed files for NEW, removals for an
// old release; folders likewise). What lies below a refused folder is not
// listed again.
void AddReleaseNameProblems(const PayloadTree& tree, const std::string& release, PathUse files,
                            PathUse folders, std::vector<std::string>& problems);

// Adds to `warnings` the paths the update names that a long program folder
// would push past Windows' limits (PathLengthWarning). The paths are ones
// that AddReleaseNameProblems let through.
void AddDiffLengthWarnings(const ReleaseDiff& update, std::vector<std::string>& warnings);

}  // namespace brxpack
