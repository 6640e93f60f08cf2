#pragma once
// A publisher's icon: the images of a .ico file, and the icon group
// resource that lists them under the ids of their image resources.
#include <cstdint>
#include <functional>
#include <vector>

#include "brxpack/result.h"
#include "package/memory_range.h"

namespace brxpack {

struct IconImage {
  uint8_t width;  // 0 means 256
  uint8_t height;
  uint8_t colors;
  uint16_t planes;
  uint16_t bitCount;
  std::vector<uint8_t> bytes;  // a bitmap or a PNG image, as the file holds it
};

// Fails, saying why, for a file that is no icon or whose directory or
// images pass its end.
Result<std::vector<IconImage>> ReadIconFile(brx::MemoryRange file);

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

// A .ico file holding these images, as ReadIconFile reads it.
std::vector<uint8_t> IconFileOf(const std::vector<IconImage>& images);

}  // namespace brxpack
