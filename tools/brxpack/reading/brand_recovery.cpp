#include "brxpack/reading/brand_recovery.h"

#include <algorithm>
#include <map>
#include <optional>

#include "brxpack/contents/display_text.h"
#include "brxpack/stub/brand.h"
#include "brxpack/stub/pe_resources.h"
#include "resources/resource_ids.h"

namespace brxpack {

namespace {

// The installer's own version information names it; a brand never does.
constexpr char kInstallerInternalName[] = "PATCH";

// The first resource of this type, and of this numbered name when given.
const Resource* Find(const std::vector<Resource>& resources, uint16_t type,
                     std::optional<uint16_t> name = std::nullopt) {
  const auto found = std::find_if(resources.begin(), resources.end(), [&](const Resource& r) {
    return IsNumbered(r.type, type) && (!name || IsNumbered(r.name, *name));
  });
  return found != resources.end() ? &*found : nullptr;
}

// The program's icon as a .ico file, or nothing when its group is missing
// or lists an image the stub does not hold.
std::vector<uint8_t> ProgramIcon(const std::vector<Resource>& resources) {
  const Resource* group = Find(resources, kResourceIconGroup, BRX_ICON_PROGRAM);
  if (group == nullptr) return {};
  Result<std::vector<IconImage>> images =
      IconGroupImages({group->bytes.data(), static_cast<uint32_t>(group->bytes.size())},
                      [&](uint16_t id) -> const std::vector<uint8_t>* {
                        const Resource* image = Find(resources, kResourceIcon, id);
                        return image != nullptr ? &image->bytes : nullptr;
                      });
  return images.ok() ? IconFileOf(*images) : std::vector<uint8_t>{};
}

}  // namespace

RecoveredBrand RecoverBrand(brx::MemoryRange stub, const std::string& iconName) {
  Result<std::vector<Resource>> resources = ReadResources(stub);
  if (!resources.ok()) return {};
  const Resource* version = Find(*resources, kResourceVersion);
  std::map<std::string, std::string> texts;
  if (version != nullptr) {
    texts = VersionTextsOf({version->bytes.data(), static_cast<uint32_t>(version->bytes.size())});
  }
  if (texts.empty() || texts["InternalName"] == kInstallerInternalName) return {};
  const std::string productVersion =
      !texts["ProductVersion"].empty() ? texts["ProductVersion"] : texts["FileVersion"];
  RecoveredBrand brand;
  brand.table = "\n# The installer's brand, read back from its resources.\n[brand]\n";
  for (const auto& [key, value] :
       {std::pair{"company", texts["CompanyName"]}, std::pair{"product", texts["ProductName"]},
        std::pair{"version", productVersion}, std::pair{"description", texts["FileDescription"]},
        std::pair{"copyright", texts["LegalCopyright"]}}) {
    if (!value.empty()) brand.table += std::string(key) + " = " + TomlString(value) + "\n";
  }
  std::vector<uint8_t> icon = ProgramIcon(*resources);
  if (icon.empty()) {
    brand.table += "# Its icon could not be read back.\n";
  } else if (iconName.empty()) {
    brand.table += "# Its icon is written beside the manifest when -o names the manifest file.\n";
  } else {
    brand.table += "icon = " + TomlString(iconName) + "\n";
    brand.icon = std::move(icon);
  }
  return brand;
}

}  // namespace brxpack
