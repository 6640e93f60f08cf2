#pragma once
#include "system/system.h"

namespace brx {

inline constexpr unsigned kStatusCapacity = 65536;  // the text and its terminator

// Formats like the runtime's formatted print (%s, %d, %u, %x, %%) into a
// 65,536-byte buffer and shows it in the status line. A longer text is cut
// at 65,535 characters; a text that cannot be formatted or whose buffer
// cannot be allocated leaves the previous text.
void ShowStatus(System& system, const char* format, ...);

}  // namespace brx
