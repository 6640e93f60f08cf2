#pragma once
// A manifest built on a base manifest (`base = 'base.toml'`, as diff --base
// writes it): the base says what two release folders cannot (the target,
// the question, commands, registry values, the brand), the manifest says
// which files to install and remove. The base is merged each time the
// manifest is read, so an edit of it needs no new diff.
#include <filesystem>
#include <map>
#include <string>

#include "brxpack/manifest/manifest.h"
#include "brxpack/result.h"

namespace brxpack {

// The paths a manifest uses, under ClashKey: what a base that names one too
// is told it clashes with ("the diff: 'a.txt' changed in NEW").
using TakenPaths = std::map<std::string, std::string>;

// A path's key (UTF-8 as written): A to Z folded, "/" as "\".
std::string ClashKey(const std::string& path);

// The paths of the manifest's [payload] only, [folders] and [remove].
TakenPaths TakenBy(const Manifest& manifest);

// Adds the base to the manifest: the base's lists first, then the
// manifest's; a table the manifest lacks from the base; the base's host
// paths made to start from the manifest's folder (`baseFolder`: the base's,
// as the manifest names it). Fails for a table both give.
Status MergeBase(Manifest& manifest, Manifest base, const std::filesystem::path& baseFolder);

}  // namespace brxpack
