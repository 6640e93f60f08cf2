#include "brxpack/stub/brand.h"

#include <algorithm>

#include "brxpack/host/host_path.h"
#include "brxpack/host/mapped_file.h"
#include "brxpack/stub/pe_resources.h"
#include "package/format.h"
#include "resources/resource_ids.h"

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

// The image a file or group entry describes, with its bytes.
IconImage ImageOf(const uint8_t* entry, std::vector<uint8_t> bytes) {
  return {entry[0], entry[1], entry[2], ReadLe16(entry + 4), ReadLe16(entry + 6), std::move(bytes)};
}

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

bool IsVersion(const Resource& r) {
  return IsNumbered(r.type, kResourceVersion);
}

bool IsProgramIconGroup(const Resource& r) {
  return IsNumbered(r.type, kResourceIconGroup) && IsNumbered(r.name, BRX_ICON_PROGRAM);
}

// One version resource, under the name and language of the one it replaces.
void ReplaceVersion(std::vector<Resource>& resources, std::vector<uint8_t> versionInfo) {
  Resource version{{kResourceVersion, {}}, {1, {}}, 0, 0, std::move(versionInfo)};
  const auto old = std::find_if(resources.begin(), resources.end(), IsVersion);
  if (old != resources.end()) {
    version.name = old->name;
    version.language = old->language;
  }
  std::erase_if(resources, IsVersion);
  resources.push_back(std::move(version));
}

// The program's icon group keeps its id and language, which the installer
// loads; its old images go, and the new ones take the lowest free ids.
Status ReplaceIcon(std::vector<Resource>& resources, const std::vector<IconImage>& images) {
  auto group = std::find_if(resources.begin(), resources.end(), IsProgramIconGroup);
  if (group == resources.end()) {
    return Error{"the stub has no icon group " + std::to_string(BRX_ICON_PROGRAM)};
  }
  const uint16_t language = group->language;
  const std::vector<uint16_t> oldIds =
      IconGroupIds({group->bytes.data(), static_cast<uint32_t>(group->bytes.size())});
  std::erase_if(resources, [&](const Resource& r) {
    return IsNumbered(r.type, kResourceIcon) && r.name.text.empty() && r.language == language &&
           std::find(oldIds.begin(), oldIds.end(), r.name.id) != oldIds.end();
  });
  const auto taken = [&](uint16_t id) {
    return std::any_of(resources.begin(), resources.end(), [&](const Resource& r) {
      return IsNumbered(r.type, kResourceIcon) && IsNumbered(r.name, id);
    });
  };
  std::vector<uint16_t> ids;
  for (uint32_t id = 1; ids.size() < images.size(); ++id) {
    if (id > UINT16_MAX) return Error{"the stub has no free icon image ids"};
    if (!taken(static_cast<uint16_t>(id))) ids.push_back(static_cast<uint16_t>(id));
  }
  for (size_t i = 0; i < images.size(); ++i) {
    resources.push_back({{kResourceIcon, {}}, {ids[i], {}}, language, 0, images[i].bytes});
  }
  group = std::find_if(resources.begin(), resources.end(), IsProgramIconGroup);
  group->bytes = IconGroupOf(images, ids);
  return Status::Ok();
}

// The images of the brand's .ico file. Fails, saying why, for a file that
// cannot be read, is no icon or whose directory or images pass its end.
Result<std::vector<IconImage>> ReadBrandIcon(const Brand& brand,
                                             const std::filesystem::path& folder) {
  const std::filesystem::path path = folder / brand.icon;
  const std::string where = brand.where + ".icon: " + Utf8FromPath(path) + ": ";
  Result<MappedFile> mapped = MappedFile::Open(path);
  if (!mapped.ok()) return Error{brand.where + ".icon: " + mapped.error()};
  if (!mapped->FitsIn32Bits()) return Error{where + "4 GiB or larger"};
  const brx::MemoryRange file = mapped->range();
  if (file.size < kHeaderSize || ReadLe16(file.data) != 0 || ReadLe16(file.data + 2) != 1) {
    return Error{where + "not an icon file (.ico)"};
  }
  const uint32_t count = ReadLe16(file.data + 4);
  if (count == 0) return Error{where + "the icon holds no image"};
  if (kHeaderSize + uint64_t{count} * kFileEntrySize > file.size) {
    return Error{where + "the icon's directory passes the end of the file"};
  }
  std::vector<IconImage> images;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* entry = file.data + kHeaderSize + i * kFileEntrySize;
    const uint32_t size = brx::ReadLe32(entry + 8);
    const uint32_t offset = brx::ReadLe32(entry + 12);
    if (size == 0 || uint64_t{offset} + size > file.size) {
      return Error{where + "image " + std::to_string(i + 1) +
                   " of the icon passes the end of the file"};
    }
    images.push_back(ImageOf(entry, {file.data + offset, file.data + offset + size}));
  }
  return images;
}

}  // namespace

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
    images.push_back(ImageOf(entry, *bytes));
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
  for (const IconImage& image : images) {
    file.insert(file.end(), image.bytes.begin(), image.bytes.end());
  }
  return file;
}

Result<std::vector<uint8_t>> ApplyBrand(brx::MemoryRange stub, const Brand& brand,
                                        const std::filesystem::path& folder) {
  Result<std::vector<Resource>> resources = ReadResources(stub);
  if (!resources.ok()) return Error{"the stub: " + resources.error()};
  Result<std::vector<uint8_t>> versionInfo = VersionInfoOf(brand);
  if (!versionInfo.ok()) return versionInfo.TakeError();
  ReplaceVersion(*resources, std::move(*versionInfo));
  if (!brand.icon.empty()) {
    Result<std::vector<IconImage>> images = ReadBrandIcon(brand, folder);
    if (!images.ok()) return images.TakeError();
    Status replaced = ReplaceIcon(*resources, *images);
    if (!replaced.ok()) return replaced.TakeError();
  }
  Result<std::vector<uint8_t>> branded = ReplaceResources(stub, *resources);
  if (!branded.ok()) return Error{"the stub: " + branded.error()};
  return branded;
}

Status BrandStub(UnsignedStub& stub, const Brand& brand, const std::filesystem::path& folder) {
  Result<std::vector<uint8_t>> branded = ApplyBrand(stub.range(), brand, folder);
  if (!branded.ok()) return branded.TakeError();
  stub.bytes = std::move(*branded);
  return Status::Ok();
}

}  // namespace brxpack
