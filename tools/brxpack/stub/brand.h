#pragma once
// Puts a publisher's brand into the installer's program. The progress
// window, its texts and the icon group's id stay as the installer needs them.
#include <cstdint>
#include <filesystem>
#include <vector>

#include "brxpack/stub/authenticode.h"
#include "brxpack/stub/brand_texts.h"
#include "brxpack/result.h"
#include "package/memory_range.h"

namespace brxpack {

// The stub with the brand's version information and icon in place of its
// own. `folder` is what a relative icon path starts from.
Result<std::vector<uint8_t>> ApplyBrand(brx::MemoryRange stub, const Brand& brand,
                                        const std::filesystem::path& folder);

// The same on a loaded stub, in place.
Status BrandStub(UnsignedStub& stub, const Brand& brand, const std::filesystem::path& folder);

}  // namespace brxpack
