#pragma once
// A small bounded formatter for the status line. PATCH.EXE carries no printf
// family: MinGW's pulls in a large runtime, and msvcrt's _vsnprintf leaves
// the text unterminated when it overflows.
#include <cstdarg>
#include <cstddef>

namespace brx {

enum class FormatResult {
  kComplete,   // the whole text fitted
  kCut,        // the text was cut to capacity - 1 characters, still terminated
  kBadFormat,  // an unknown conversion or a null text argument; nothing usable
};

// Formats `format` into destination (capacity bytes, terminator included).
// Conversions: %s (text), %d (int), %u and %x (unsigned int), %% (a percent
// sign); no flags, widths or precisions. The destination is always
// terminated when capacity is not 0.
FormatResult FormatTextV(char* destination, size_t capacity, const char* format, va_list arguments);
FormatResult FormatText(char* destination, size_t capacity, const char* format, ...);

}  // namespace brx
