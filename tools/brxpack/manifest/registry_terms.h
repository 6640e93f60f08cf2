#pragma once
// Registry values in a publisher's words and in the table's numbers. The
// installer parses a number's text with no error at all, so the tool
// accepts only texts it reads without surprise.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brxpack {

std::optional<uint32_t> RootCode(std::string_view name);  // "HKCU", "HKLM" and their long forms
std::optional<std::string> RootName(uint32_t code);       // only the codes the tool writes: 1, 2

std::optional<uint32_t> TypeCode(std::string_view name);  // "dword", "string", "key-only"
std::optional<std::string> TypeName(uint32_t code);

std::optional<uint32_t> OperationCode(std::string_view name);  // "write", "skip"
std::optional<std::string> OperationName(uint32_t code);

// A decimal number in the signed 32-bit range with an optional "-", or an
// optional "-" and "0x"/"0X" with one to eight hexadecimal digits; nothing
// before or after.
bool IsCleanNumberText(std::string_view text);

}  // namespace brxpack
