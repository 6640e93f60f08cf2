#pragma once
// What diff --stats measures: the packages build's own writer makes of the
// update and of its alternatives, for the text and for --json alike.
#include <cstdint>
#include <vector>

namespace brxpack {

struct DiffPackageSizes {
  int level = 0;               // the level every package was written at
  bool standInTarget = false;  // no base: a stand-in [target] took its place
  uint64_t update = 0;         // the update's package
  uint64_t full = 0;           // a package of every file of NEW
  // An update from each old release alone, in their order (with one
  // release, the update itself).
  std::vector<uint64_t> alone;
};

}  // namespace brxpack
