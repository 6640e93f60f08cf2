#include "brxpack/contents/hex_text.h"

#include "steps/parse_number.h"

namespace brxpack {

std::optional<std::vector<uint8_t>> BytesFromHex(std::string_view text) {
  std::vector<uint8_t> bytes;
  int high = -1;
  for (const char c : text) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      if (high >= 0) return std::nullopt;  // a digit pair may not be split
      continue;
    }
    const int value = brx::HexDigitValue(c);
    if (value < 0) return std::nullopt;
    if (high < 0) {
      high = value;
    } else {
      bytes.push_back(static_cast<uint8_t>(high << 4 | value));
      high = -1;
    }
  }
  if (high >= 0) return std::nullopt;
  return bytes;
}

std::string HexFromBytes(const std::vector<uint8_t>& bytes, size_t perLine) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    text.push_back(kDigits[bytes[i] >> 4]);
    text.push_back(kDigits[bytes[i] & 15]);
    text.push_back((i + 1) % perLine == 0 || i + 1 == bytes.size() ? '\n' : ' ');
  }
  return text;
}

}  // namespace brxpack
