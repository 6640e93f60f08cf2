#pragma once
// Entry names as keys: names the installer takes for one are equal here.
#include <string>

#include "package/entry_names.h"

namespace brxpack {

// The name with the letters A to Z folded to lower case, by the installer's rule.
inline std::string FoldedName(std::string name) {
  for (char& c : name) c = brx::FoldLatin(c);
  return name;
}

}  // namespace brxpack
