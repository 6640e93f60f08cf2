#include "package/entry_names.h"

namespace brx {

bool EntryNamesEqual(const char* a, const char* b) {
  for (;; ++a, ++b) {
    if (FoldLatin(*a) != FoldLatin(*b)) return false;
    if (*a == '\0') return true;
  }
}

}  // namespace brx
