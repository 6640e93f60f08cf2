#include "brxpack/contents/display_text.h"

#include <cstdio>

#include "brxpack/contents/windows1251.h"

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

}  // namespace brxpack
