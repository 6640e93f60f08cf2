#include "brxpack/stub/brand_icon.h"

#include "brxpack/stub/pe_resources_bytes.h"
#include "package/format.h"

namespace brxpack {

namespace {

// Both a .ico file and an icon group begin with reserved 0, type 1 and the
// image count; their entries differ only in how the image is found: a
// 16-byte file entry ends with the image's size and offset, a 14-byte group
// entry with its size and resource id.
constexpr uint32_t kHeaderSize = 6;
constexpr uint32_t kFileEntrySize = 16;
constexpr uint32_t kGroupEntrySize = 14;
constexpr uint32_t kIdField = 12;  // in a group entry

// The header and one entry per image, each entry ending with the image's
// size and what `appendLocation` adds for image i.
void AppendDirectory(std::vector<uint8_t>& out, const std::vector<IconImage>& images,
                     const std::function<void(size_t)>& appendLocation) {
  AppendLe16(out, 0);
  AppendLe16(out, 1);
  AppendLe16(out, static_cast<uint16_t>(images.size()));
  for (size_t i = 0; i < images.size(); ++i) {
    const IconImage& image = images[i];
    out.insert(out.end(), {image.width, image.height, image.colors, 0});
    AppendLe16(out, image.planes);
    AppendLe16(out, image.bitCount);
    AppendLe32(out, static_cast<uint32_t>(image.bytes.size()));
    appendLocation(i);
  }
}

}  // namespace

Result<std::vector<IconImage>> ReadIconFile(brx::MemoryRange file) {
  if (file.size < kHeaderSize || ReadLe16(file.data) != 0 || ReadLe16(file.data + 2) != 1) {
    return Error{"not an icon file (.ico)"};
  }
  const uint32_t count = ReadLe16(file.data + 4);
  if (count == 0) return Error{"the icon holds no image"};
  if (kHeaderSize + uint64_t{count} * kFileEntrySize > file.size) {
    return Error{"the icon's directory passes the end of the file"};
  }
  std::vector<IconImage> images;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* entry = file.data + kHeaderSize + i * kFileEntrySize;
    const uint32_t size = brx::ReadLe32(entry + 8);
    const uint32_t offset = brx::ReadLe32(entry + 12);
    if (size == 0 || uint64_t{offset} + size > file.size) {
      return Error{"image " + std::to_string(i + 1) + " of the icon passes the end of the file"};
    }
    images.push_back({entry[0], entry[1], entry[2], ReadLe16(entry + 4), ReadLe16(entry + 6),
                      std::vector<uint8_t>(file.data + offset, file.data + offset + size)});
  }
  return images;
}

std::vector<uint8_t> IconGroupOf(const std::vector<IconImage>& images,
                                 const std::vector<uint16_t>& ids) {
  std::vector<uint8_t> group;
  AppendDirectory(group, images, [&](size_t i) { AppendLe16(group, ids[i]); });
  return group;
}

std::vector<uint16_t> IconGroupIds(brx::MemoryRange group) {
  std::vector<uint16_t> ids;
  if (group.size < kHeaderSize) return ids;
  const uint32_t count = ReadLe16(group.data + 4);
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t entry = kHeaderSize + uint64_t{i} * kGroupEntrySize;
    if (entry + kGroupEntrySize > group.size) break;
    ids.push_back(ReadLe16(group.data + entry + kIdField));
  }
  return ids;
}

Result<std::vector<IconImage>> IconGroupImages(
    brx::MemoryRange group, const std::function<const std::vector<uint8_t>*(uint16_t)>& imageOf) {
  const std::vector<uint16_t> ids = IconGroupIds(group);
  if (ids.empty()) return Error{"the icon group lists no image"};
  std::vector<IconImage> images;
  for (size_t i = 0; i < ids.size(); ++i) {
    const std::vector<uint8_t>* bytes = imageOf(ids[i]);
    if (bytes == nullptr) {
      return Error{"the icon group lists image " + std::to_string(ids[i]) + ", which is missing"};
    }
    const uint8_t* entry = group.data + kHeaderSize + i * kGroupEntrySize;
    images.push_back({entry[0], entry[1], entry[2], ReadLe16(entry + 4), ReadLe16(entry + 6), *bytes});
  }
  return images;
}

std::vector<uint8_t> IconFileOf(const std::vector<IconImage>& images) {
  std::vector<uint8_t> file;
  uint32_t offset = kHeaderSize + kFileEntrySize * static_cast<uint32_t>(images.size());
  AppendDirectory(file, images, [&](size_t i) {
    AppendLe32(file, offset);
    offset += static_cast<uint32_t>(images[i].bytes.size());
  });
  for (const IconImage& image : images) file.insert(file.end(), image.bytes.begin(), image.bytes.end());
  return file;
}

}  // namespace brxpack
