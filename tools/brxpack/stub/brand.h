#pragma once
// Puts a publisher's brand into the installer's program: the version
// information that Windows shows for update.exe (company, product, version,
// description, copyright) and, optionally, its icon. The progress window,
// its texts and the icon group's id stay as the installer needs them.
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "brxpack/result.h"
#include "brxpack/stub/authenticode.h"
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

// The version information resource (VS_VERSIONINFO, brand_version_info.cpp)
// of a brand, and the file version and texts read back from one.

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

// A publisher's icon: the images of a .ico file, and the icon group
// resource that lists them under the ids of their image resources.
struct IconImage {
  uint8_t width;  // 0 means 256
  uint8_t height;
  uint8_t colors;
  uint16_t planes;
  uint16_t bitCount;
  std::vector<uint8_t> bytes;  // a bitmap or a PNG image, as the file holds it
};

// The icon group resource for these images, stored under `ids` (one each).
std::vector<uint8_t> IconGroupOf(const std::vector<IconImage>& images,
                                 const std::vector<uint16_t>& ids);

// The image ids an icon group resource lists; those that pass its end are
// not read.
std::vector<uint16_t> IconGroupIds(brx::MemoryRange group);

// The images an icon group lists, each found by id through `imageOf`
// (nullptr for a missing one, which fails the whole group).
Result<std::vector<IconImage>> IconGroupImages(
    brx::MemoryRange group, const std::function<const std::vector<uint8_t>*(uint16_t)>& imageOf);

// A .ico file holding these images.
std::vector<uint8_t> IconFileOf(const std::vector<IconImage>& images);

// The stub with the brand's version information and icon in place of its
// own. `folder` is what a relative icon path starts from.
Result<std::vector<uint8_t>> ApplyBrand(brx::MemoryRange stub, const Brand& brand,
                                        const std::filesystem::path& folder);

// The same on a loaded stub, in place.
Status BrandStub(UnsignedStub& stub, const Brand& brand, const std::filesystem::path& folder);

}  // namespace brxpack
