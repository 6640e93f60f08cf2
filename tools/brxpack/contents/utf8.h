#pragma once
// Decoding and encoding UTF-8, the form every text of a manifest and the command line
// arrives in.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace brxpack {

// One character at text[*position], which moves past it; nothing, and the
// position unmoved, for a malformed sequence (overlong forms, surrogates
// and values past U+10FFFF included). *position must be below text.size().
std::optional<char32_t> NextUtf8Character(std::string_view text, size_t* position);

// Appends the UTF-8 form of a character up to U+10FFFF.
void AppendUtf8(char32_t character, std::string& out);

}  // namespace brxpack
