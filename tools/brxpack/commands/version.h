#pragma once
#include <string>

namespace brxpack {

// What --version prints: the tool's name and the project's version.
std::string VersionText();

}  // namespace brxpack
