#include "brxpack/contents/windows1251.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>

namespace brxpack {

namespace {

// Code points of the bytes 0x80 to 0xFF; 0 marks 0x98, which has none.
constexpr char16_t kHighHalf[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  //
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  //
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  //
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  //
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  //
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  //
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  //
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,  //
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,  //
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,  //
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  //
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,  //
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  //
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

constexpr char32_t kLastMappedCodePoint = 0x2122;

// The byte of every code point the code page has, 0 for the others; the
// upper half's code points are all below U+2123.
constexpr std::array<uint8_t, kLastMappedCodePoint + 1> MakeByteTable() {
  std::array<uint8_t, kLastMappedCodePoint + 1> bytes{};
  for (unsigned index = 0; index < 128; ++index) {
    if (kHighHalf[index] != 0) bytes[kHighHalf[index]] = static_cast<uint8_t>(0x80 + index);
  }
  return bytes;
}
constexpr std::array<uint8_t, kLastMappedCodePoint + 1> kByteOf = MakeByteTable();

std::optional<uint8_t> ByteOf(char32_t character) {
  if (character < 0x80) return static_cast<uint8_t>(character);
  if (character > kLastMappedCodePoint || kByteOf[character] == 0) return std::nullopt;
  return kByteOf[character];
}

// Lower case of the capitals the code page holds: Latin, the Russian
// alphabet, and the other Cyrillic letters (U+0400-U+040F, U+0490).
constexpr char32_t LowerCase(char32_t character) {
  if (character >= 'A' && character <= 'Z') return character + 0x20;
  if (character >= 0x0410 && character <= 0x042F) return character + 0x20;
  if (character >= 0x0400 && character <= 0x040F) return character + 0x50;
  if (character == 0x0490) return 0x0491;
  return character;
}

constexpr std::array<uint8_t, 256> MakeFoldTable() {
  std::array<uint8_t, 256> folded{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    const char32_t character = byte < 0x80 ? byte : kHighHalf[byte - 0x80];
    const char32_t lower = LowerCase(character);
    folded[byte] = lower < 0x80         ? static_cast<uint8_t>(lower)
                   : lower != character ? kByteOf[lower]
                                        : static_cast<uint8_t>(byte);
  }
  return folded;
}
constexpr std::array<uint8_t, 256> kFolded = MakeFoldTable();

}  // namespace

std::optional<char32_t> NextUtf8Character(std::string_view text, size_t* position) {
  const auto byte = [&](size_t at) { return static_cast<uint8_t>(text[at]); };
  const uint8_t lead = byte(*position);
  if (lead < 0x80) {
    ++*position;
    return lead;
  }
  // Leads 0xC0-0xDF, 0xE0-0xEF and 0xF0-0xF7 begin two, three and four bytes.
  if (lead < 0xC0 || lead > 0xF7) return std::nullopt;
  const size_t length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  char32_t value = lead & (0x7F >> length);
  if (*position + length > text.size()) return std::nullopt;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(*position + i) & 0xC0) != 0x80) return std::nullopt;
    value = value << 6 | (byte(*position + i) & 0x3F);
  }
  constexpr char32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return std::nullopt;
  }
  *position += length;
  return value;
}

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
    return;
  }
  // The lead byte carries the count of continuation bytes as its high bits.
  const int continuations = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
  out += static_cast<char>(0xFF00 >> (continuations + 1) | c >> (6 * continuations));
  for (int shift = 6 * (continuations - 1); shift >= 0; shift -= 6) {
    out += static_cast<char>(0x80 | (c >> shift & 0x3F));
  }
}

Result<std::string> Utf8ToWindows1251(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t position = 0;
  while (position < utf8.size()) {
    const size_t start = position;
    const std::optional<char32_t> character = NextUtf8Character(utf8, &position);
    if (!character) {
      return Error{"the text is not valid UTF-8 (at byte " + std::to_string(start + 1) + ")"};
    }
    if (*character == 0) {
      return Error{"the text holds a NUL character, which would end it early"};
    }
    const std::optional<uint8_t> converted = ByteOf(*character);
    if (!converted) {
      char code[16];
      std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(*character));
      return Error{"the character '" + std::string(utf8.substr(start, position - start)) + "' (" +
                   code + ") has no Windows-1251 form"};
    }
    out.push_back(static_cast<char>(*converted));
  }
  return out;
}

std::string Windows1251ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const uint8_t byte = static_cast<uint8_t>(c);
    if (byte < 0x80) {
      out.push_back(c);
    } else {
      const char16_t character = kHighHalf[byte - 0x80];
      AppendUtf8(character != 0 ? character : 0xFFFD, out);
    }
  }
  return out;
}

char FoldLikeWindowsFileNames(char byte) {
  return static_cast<char>(kFolded[static_cast<uint8_t>(byte)]);
}

bool SurvivesUtf8RoundTrip(std::string_view bytes) {
  const Result<std::string> back = Utf8ToWindows1251(Windows1251ToUtf8(bytes));
  return back.ok() && *back == bytes;
}

}  // namespace brxpack
