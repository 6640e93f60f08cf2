#pragma once
// Reads a manifest (UTF-8 TOML) into a Manifest. Every problem is reported,
// each on its own line as "FILE:LINE:COLUMN: FIELD: what is wrong"; an
// unknown key is a problem, so a typo never drops a section silently. A
// manifest that names a base comes with the base merged in (manifest_base.h).
#include <filesystem>
#include <string_view>

#include "brxpack/manifest/manifest.h"
#include "brxpack/manifest/manifest_base.h"
#include "brxpack/result.h"

namespace brxpack {

// With `taken`, a base manifest: one without [payload] or a base of its
// own, none of whose installed, created or removed paths `taken` holds (each
// clash on a line naming the base's field and what holds the path).
Result<Manifest> ReadManifestFile(const std::filesystem::path& path,
                                  const TakenPaths* taken = nullptr);

// The same from text already in memory; `path` names it in messages and
// gives the folder that relative paths start from.
Result<Manifest> ParseManifest(std::string_view text, const std::filesystem::path& path,
                               const TakenPaths* taken = nullptr);

}  // namespace brxpack
