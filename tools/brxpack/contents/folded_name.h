#pragma once
// Entry names as keys: names the installer takes for one are equal here.
#include <string>

namespace brxpack {

// The name with the letters A to Z folded to lower case, by the installer's rule.
std::string FoldedName(std::string name);

}  // namespace brxpack
