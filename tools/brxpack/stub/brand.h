#pragma once
// Puts a publisher's brand into the installer's program: the version
// information that Windows shows for update.exe (company, product, version,
// description, copyright) and, optionally, its icon. The progress window,
// its texts and the icon group's id stay as the installer needs them.
#include <cstdint>
#include <filesystem>
#include <functional>
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
