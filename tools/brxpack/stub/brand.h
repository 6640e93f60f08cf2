#pragma once
// Puts a publisher's brand into the installer's program: the version
// information that Windows shows for update.exe (company, product, version,
// description, copyright) and, optionally, its icon. The progress window,
// its texts and the icon group's id stay as the installer needs them.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "brxpack/stub/authenticode.h"
#include "brxpack/result.h"
#include "package/memory_range.h"

namespace brxpack {

struct Brand {
  // UTF-8 texts; an empty one is left out of the version information.
  std::string company;
  std::string product;
  std::string version;  // one to four numbers 0-65535 with dots: "2.0", "2.0.1.17"
  std::string description;
  std::string copyright;
  std::filesystem::path icon;  // a .ico file; empty keeps the installer's icon
  std::string where;           // "FILE:LINE:COLUMN: brand", for messages
};

// The stub with the brand's version information and icon in place of its
// own. `folder` is what a relative icon path starts from.
Result<std::vector<uint8_t>> ApplyBrand(brx::MemoryRange stub, const Brand& brand,
                                        const std::filesystem::path& folder);

// The same on a loaded stub, in place.
Status BrandStub(UnsignedStub& stub, const Brand& brand, const std::filesystem::path& folder);

}  // namespace brxpack
