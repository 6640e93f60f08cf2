#include "brxpack/commands/version.h"

#include "brxpack/version_number.h"

namespace brxpack {

std::string VersionText() {
  return std::string("brxpack ") + BRXPACK_VERSION;
}

}  // namespace brxpack
