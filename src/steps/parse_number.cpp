#include "steps/parse_number.h"

namespace brx {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

namespace {

// Bytes below "!" read as signed: control characters, the blank, and every
// byte from 0x80 up.
bool IsSkippedLeadingByte(char c) {
  return c != '\0' && static_cast<signed char>(c) < '!';
}

// Unsigned arithmetic wraps where a signed overflow would be undefined.
int32_t Negated(uint32_t value, bool negative) {
  return static_cast<int32_t>(negative ? 0u - value : value);
}

int32_t ParseDecimal(const char* text) {
  bool negative = false;
  if (*text == '+' || *text == '-') {
    negative = *text == '-';
    ++text;
  }
  uint32_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10u + static_cast<uint32_t>(*text - '0');
  }
  return Negated(value, negative);
}

}  // namespace

int32_t ParseHex(const char* text) {
  const bool negative = *text == '-';
  if (negative) ++text;
  uint32_t value = 0;
  for (int digit = HexDigitValue(*text); digit >= 0; digit = HexDigitValue(*++text)) {
    value = value * 16u + static_cast<uint32_t>(digit);
  }
  return Negated(value, negative);
}

int32_t ParseNumber(const char* text) {
  while (IsSkippedLeadingByte(*text)) ++text;
  const bool negative = *text == '-';
  const char* unsignedPart = negative ? text + 1 : text;
  if (unsignedPart[0] == '0' && (unsignedPart[1] == 'x' || unsignedPart[1] == 'X')) {
    return Negated(static_cast<uint32_t>(ParseHex(unsignedPart + 2)), negative);
  }
  // The decimal reading handles its own sign.
  return ParseDecimal(text);
}

}  // namespace brx
