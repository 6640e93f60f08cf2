#include "brxpack/manifest/registry_terms.h"

#include <algorithm>

#include "package/section_readers.h"
#include "steps/parse_number.h"

namespace brxpack {

std::optional<uint32_t> RootCode(std::string_view name) {
  if (name == "HKCU" || name == "HKEY_CURRENT_USER") return brx::kRegistryRootCurrentUser;
  if (name == "HKLM" || name == "HKEY_LOCAL_MACHINE") return brx::kRegistryRootLocalMachine;
  return std::nullopt;
}

std::optional<std::string> RootName(uint32_t code) {
  if (code == brx::kRegistryRootCurrentUser) return "HKCU";
  if (code == brx::kRegistryRootLocalMachine) return "HKLM";
  return std::nullopt;
}

std::optional<uint32_t> TypeCode(std::string_view name) {
  if (name == "dword") return brx::kRegistryTypeNumber;
  if (name == "string") return brx::kRegistryTypeText;
  if (name == "key-only") return brx::kRegistryTypeKeyOnly;
  return std::nullopt;
}

std::optional<std::string> TypeName(uint32_t code) {
  if (code == brx::kRegistryTypeNumber) return "dword";
  if (code == brx::kRegistryTypeText) return "string";
  if (code == brx::kRegistryTypeKeyOnly) return "key-only";
  return std::nullopt;
}

std::optional<uint32_t> OperationCode(std::string_view name) {
  if (name == "write") return brx::kRegistryOperationWrite;
  if (name == "skip") return brx::kRegistryOperationSkip;
  return std::nullopt;
}

std::optional<std::string> OperationName(uint32_t code) {
  if (code == brx::kRegistryOperationWrite) return "write";
  if (code == brx::kRegistryOperationSkip) return "skip";
  return std::nullopt;
}

bool IsCleanNumberText(std::string_view text) {
  const bool negative = !text.empty() && text[0] == '-';
  std::string_view digits = negative ? text.substr(1) : text;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    digits.remove_prefix(2);
    return digits.size() <= 8 && std::all_of(digits.begin(), digits.end(),
                                             [](char c) { return brx::HexDigitValue(c) >= 0; });
  }
  if (digits.empty() || digits.size() > 10) return false;
  int64_t value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return negative ? value <= 2147483648LL : value <= 2147483647LL;
}

}  // namespace brxpack
