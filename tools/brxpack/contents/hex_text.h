#pragma once
// Bytes written as hexadecimal text, for sections carried byte for byte.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brxpack {

// Pairs of hexadecimal digits; blanks and line breaks between pairs are
// ignored. Nothing for any other character or an odd digit count.
std::optional<std::vector<uint8_t>> BytesFromHex(std::string_view text);

// Lines of `perLine` bytes, pairs separated by blanks, each line ended by "\n".
std::string HexFromBytes(const std::vector<uint8_t>& bytes, size_t perLine);

}  // namespace brxpack
