#pragma once
// Number texts of the registry table, written as REG_DWORD.
#include <cstdint>

namespace brx {

// Skips leading control characters, blanks and bytes from 0x80 up, then
// reads "0x"/"0X" hexadecimal (an optional "-" before the prefix) or an
// atoi-style decimal. Never fails: a text without digits gives 0, and all
// arithmetic wraps at 32 bits.
int32_t ParseNumber(const char* text);

// Hexadecimal digits after the prefix, with an optional leading "-". Stops at
// the first character that is not a hexadecimal digit, so a trailing blank
// does not change the value; only the last eight digits count.
int32_t ParseHex(const char* text);

// A hexadecimal digit's value, or -1 for any other character.
int HexDigitValue(char c);

}  // namespace brx
