#include "brxpack/contents/display_text.h"

#include <cstdio>

#include "brxpack/contents/windows1251.h"
#include "steps/parse_number.h"

namespace brxpack {

namespace {

bool IsControl(unsigned char c) {
  return c < 0x20 || c == 0x7F;
}

// Texts escape control characters as C does; paths and names show them as
// "<U+000A>", which no path can hold ('<' is refused in Windows names), so
// "data\new.txt" with a line break never reads like a folder "data".
enum class Style { kText, kPath, kToml };

std::string Escaped(std::string_view utf8, Style style) {
  const bool escapeQuote = style == Style::kToml;
  std::string out;
  for (const char c : utf8) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (style == Style::kPath && IsControl(byte)) {
      char code[12];
      std::snprintf(code, sizeof code, "<U+%04X>", byte);
      out += code;
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\\' && escapeQuote) {
      out += "\\\\";
    } else if (c == '"' && escapeQuote) {
      out += "\\\"";
    } else if (IsControl(byte)) {
      char code[8];
      std::snprintf(code, sizeof code, escapeQuote ? "\\u%04X" : "\\x%02X", byte);
      out += code;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace

std::string PlainForDisplay(std::string_view windows1251) {
  return Escaped(Windows1251ToUtf8(windows1251), Style::kText);
}

std::string PlainPath(std::string_view windows1251) {
  return Escaped(Windows1251ToUtf8(windows1251), Style::kPath);
}

std::string QuotedPath(std::string_view windows1251) {
  return Enclosed('"', PlainPath(windows1251));
}

// Texts are put between quotes by appending: GCC 12 at -O3 takes
// `"quote" + text` for overlapping copies (-Wrestrict) and fails the build.
std::string Enclosed(char quote, std::string_view text) {
  std::string out(1, quote);
  out.append(text);
  out.push_back(quote);
  return out;
}

std::string ShownName(std::string_view windows1251) {
  return Enclosed('\'', PlainPath(windows1251));
}

std::string QuotedForDisplay(std::string_view windows1251) {
  return Enclosed('"', PlainForDisplay(windows1251));
}

std::string TomlString(std::string_view utf8) {
  bool literal = true;
  for (const char c : utf8) {
    if (c == '\'' || IsControl(static_cast<unsigned char>(c))) literal = false;
  }
  if (literal) return Enclosed('\'', utf8);
  return Enclosed('"', Escaped(utf8, Style::kToml));
}

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
