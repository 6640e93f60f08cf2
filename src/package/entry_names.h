#pragma once
// How entry names compare, section names included: the one rule the
// installer applies everywhere and the authoring tool repeats by calling it.

namespace brx {

// Only the letters A to Z fold; Cyrillic and every other byte compare as they are.
inline char FoldLatin(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

// Whole-name comparison with only the letters A to Z folded to lower case.
bool EntryNamesEqual(const char* a, const char* b);

}  // namespace brx
