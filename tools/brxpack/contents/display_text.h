#pragma once
// Package texts (Windows-1251) shown on a UTF-8 terminal or written into a
// manifest, and bytes as hexadecimal text for sections carried byte for byte.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brxpack {

// UTF-8 in double quotes, control characters written as \r, \n, \t or \xNN
// so that one text stays on one line.
std::string QuotedForDisplay(std::string_view windows1251);

// UTF-8 without quotes, control characters escaped as above.
std::string PlainForDisplay(std::string_view windows1251);

// A name or path: UTF-8, control characters shown as "<U+000A>", which no
// path holds, so that a line break never passes for a backslash and "n".
std::string PlainPath(std::string_view windows1251);
std::string QuotedPath(std::string_view windows1251);  // in double quotes

// A name or path in a build's messages: as PlainPath, in single quotes as
// the manifest writes it.
std::string ShownName(std::string_view windows1251);

// The text between two quote characters.
std::string Enclosed(char quote, std::string_view text);

// A TOML string holding the UTF-8 text: a literal string ('...', easiest to
// read for paths with backslashes) when it can be one, else a basic string
// with escapes.
std::string TomlString(std::string_view utf8);

// Pairs of hexadecimal digits; blanks and line breaks between pairs are
// ignored. Nothing for any other character or an odd digit count.
std::optional<std::vector<uint8_t>> BytesFromHex(std::string_view text);

// Lines of `perLine` bytes, pairs separated by blanks, each line ended by "\n".
std::string HexFromBytes(const std::vector<uint8_t>& bytes, size_t perLine);

}  // namespace brxpack
