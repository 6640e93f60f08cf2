#pragma once
// The installer shows and stores texts as Windows-1251 bytes; publishers
// write UTF-8. Conversion either way, and an error that names the character
// when a text cannot be stored.
#include <string>
#include <string_view>

#include "brxpack/result.h"

namespace brxpack {

// The Windows-1251 bytes of a UTF-8 text. Fails, naming the character, for a
// character without a Windows-1251 form and for a NUL (the installer's texts
// end at the first zero byte); fails for bytes that are not UTF-8.
Result<std::string> Utf8ToWindows1251(std::string_view utf8);

// UTF-8 for display and for manifests. The one byte without a character
// (0x98) becomes U+FFFD, which does not convert back.
std::string Windows1251ToUtf8(std::string_view bytes);

// The byte with its letter in lower case, as Windows compares file names:
// Latin and Cyrillic letters fold, every other byte stays.
char FoldLikeWindowsFileNames(char byte);

// The byte string converted to UTF-8 and back gives the same bytes.
bool SurvivesUtf8RoundTrip(std::string_view bytes);

}  // namespace brxpack
