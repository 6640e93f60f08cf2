#include "brxpack/contents/folded_name.h"

#include "package/entry_names.h"

namespace brxpack {

std::string FoldedName(std::string name) {
  for (char& c : name) c = brx::FoldLatin(c);
  return name;
}

}  // namespace brxpack
