#pragma once
// The installer shows and stores texts as Windows-1251 bytes; publishers
// write UTF-8, the form every text of a manifest and the command line
// arrives in. Conversion either way, and an error that names the character
// when a text cannot be stored.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "brxpack/result.h"
#include "package/entry_names.h"

namespace brxpack {

// One character at text[*position], which moves past it; nothing, and the
// position unmoved, for a malformed sequence (overlong forms, surrogates
// and values past U+10FFFF included). *position must be below text.size().
std::optional<char32_t> NextUtf8Character(std::string_view text, size_t* position);

// Appends the UTF-8 form of a character up to U+10FFFF.
void AppendUtf8(char32_t character, std::string& out);

// The Windows-1251 bytes of a UTF-8 text. Fails, naming the character, for a
// character without a Windows-1251 form and for a NUL (the installer's texts
// end at the first zero byte); fails for bytes that are not UTF-8.
Result<std::string> Utf8ToWindows1251(std::string_view utf8);

// UTF-8 for display and for manifests. The one byte without a character
// (0x98) becomes U+FFFD, which does not convert back.
std::string Windows1251ToUtf8(std::string_view bytes);

// The name with the letters A to Z folded to lower case, by the installer's
// rule: names the installer takes for one are equal here.
inline std::string FoldedName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = brx::FoldLatin(c);
  return folded;
}

// The byte with its letter in lower case, as Windows compares file names:
// Latin and Cyrillic letters fold, every other byte stays.
char FoldLikeWindowsFileNames(char byte);

// The byte string converted to UTF-8 and back gives the same bytes.
bool SurvivesUtf8RoundTrip(std::string_view bytes);

}  // namespace brxpack
