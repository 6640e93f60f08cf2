#include "brxpack/stub/brand.h"

#include <algorithm>

#include "brxpack/stub/brand_icon.h"
#include "brxpack/stub/brand_version_info.h"
#include "brxpack/stub/pe_resources.h"
#include "brxpack/host/host_path.h"
#include "brxpack/host/mapped_file.h"
#include "resources/resource_ids.h"

namespace brxpack {

namespace {

bool IsVersion(const Resource& r) {
  return IsNumbered(r.type, kResourceVersion);
}

bool IsProgramIconGroup(const Resource& r) {
  return IsNumbered(r.type, kResourceIconGroup) && IsNumbered(r.name, BRX_ICON_PROGRAM);
}

// One version resource, under the name and language of the one it replaces.
void ReplaceVersion(std::vector<Resource>& resources, std::vector<uint8_t> versionInfo) {
  Resource version;
  version.type.id = kResourceVersion;
  version.name.id = 1;
  const auto old = std::find_if(resources.begin(), resources.end(), IsVersion);
  if (old != resources.end()) {
    version.name = old->name;
    version.language = old->language;
  }
  std::erase_if(resources, IsVersion);
  version.bytes = std::move(versionInfo);
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
    Resource image;
    image.type.id = kResourceIcon;
    image.name.id = ids[i];
    image.language = language;
    image.bytes = images[i].bytes;
    resources.push_back(std::move(image));
  }
  group = std::find_if(resources.begin(), resources.end(), IsProgramIconGroup);
  group->bytes = IconGroupOf(images, ids);
  return Status::Ok();
}

Result<std::vector<IconImage>> ReadBrandIcon(const Brand& brand,
                                             const std::filesystem::path& folder) {
  const std::filesystem::path path = folder / brand.icon;
  const std::string where = brand.where + ".icon: " + Utf8FromPath(path) + ": ";
  Result<MappedFile> file = MappedFile::Open(path);
  if (!file.ok()) return Error{brand.where + ".icon: " + file.error()};
  if (!file->FitsIn32Bits()) return Error{where + "4 GiB or larger"};
  Result<std::vector<IconImage>> images = ReadIconFile(file->range());
  if (!images.ok()) return Error{where + images.error()};
  return images;
}

}  // namespace

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
