#pragma once
// The version information resource (VS_VERSIONINFO) of a brand, and the
// file version and texts read back from one.
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "brxpack/stub/brand.h"
#include "brxpack/result.h"
#include "package/memory_range.h"

namespace brxpack {

// "2.0" gives 2, 0, 0, 0. Nothing unless the text is one to four numbers
// from 0 to 65535 joined by dots.
std::optional<std::array<uint16_t, 4>> ParseVersionNumbers(std::string_view text);

// The resource's bytes: the numbers of brand.version in the fixed part, the
// texts in one Russian (0x0419) Unicode string table. Fails for a version
// that is no version, or a text that is not UTF-8 or holds a NUL.
Result<std::vector<uint8_t>> VersionInfoOf(const Brand& brand);

// "1.1.0.0", from the fixed part of a version information resource;
// nothing when the bytes hold none.
std::optional<std::string> FileVersionOf(brx::MemoryRange versionInfo);

// Every key and text of the first string table, as UTF-8: "CompanyName" ->
// "Example Ltd". A node whose lengths pass its parent's end ends the walk
// there: what was read before it is kept, nothing past the resource's bytes
// is read.
std::map<std::string, std::string> VersionTextsOf(brx::MemoryRange versionInfo);

}  // namespace brxpack
