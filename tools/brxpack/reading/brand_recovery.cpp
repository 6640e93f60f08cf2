#include "brxpack/reading/brand_recovery.h"

#include <map>

#include "brxpack/stub/pe_resources.h"
#include "brxpack/stub/version_texts.h"
#include "brxpack/contents/display_text.h"

namespace brxpack {

namespace {

// The installer's own version information names it; a brand never does.
constexpr char kInstallerInternalName[] = "PATCH";

}  // namespace

std::string RecoveredBrand(brx::MemoryRange stub) {
  Result<std::vector<Resource>> resources = ReadResources(stub);
  if (!resources.ok()) return "";
  std::map<std::string, std::string> texts;
  for (const Resource& resource : *resources) {
    if (resource.type.id != kResourceVersion) continue;
    texts = VersionTextsOf({resource.bytes.data(), static_cast<uint32_t>(resource.bytes.size())});
    break;
  }
  if (texts.empty() || texts["InternalName"] == kInstallerInternalName) return "";
  const std::string version =
      !texts["ProductVersion"].empty() ? texts["ProductVersion"] : texts["FileVersion"];
  std::string table =
      "\n# The installer's brand, read back from its version information. Its icon\n"
      "# is not: add icon = 'FILE.ico' if the brand had one.\n[brand]\n";
  for (const auto& [key, value] :
       {std::pair{"company", texts["CompanyName"]}, std::pair{"product", texts["ProductName"]},
        std::pair{"version", version}, std::pair{"description", texts["FileDescription"]},
        std::pair{"copyright", texts["LegalCopyright"]}}) {
    if (!value.empty()) table += std::string(key) + " = " + TomlString(value) + "\n";
  }
  return table;
}

}  // namespace brxpack
