#include "brxpack/stub/stub_version.h"

#include "brxpack/stub/brand_version_info.h"
#include "brxpack/stub/pe_resources.h"
#include "brxpack/host/mapped_file.h"

namespace brxpack {

Result<std::string> StubVersion(const std::filesystem::path& stub) {
  Result<MappedFile> file = MappedFile::Open(stub);
  if (!file.ok()) return file.TakeError();
  if (!file->FitsIn32Bits()) return Error{"4 GiB or larger"};
  Result<std::vector<Resource>> resources = ReadResources(file->range());
  if (!resources.ok()) return resources.TakeError();
  for (const Resource& resource : *resources) {
    if (resource.type.text.empty() && resource.type.id == kResourceVersion) {
      const std::optional<std::string> version =
          FileVersionOf({resource.bytes.data(), static_cast<uint32_t>(resource.bytes.size())});
      if (version) return *version;
    }
  }
  return Error{"it carries no version information"};
}

}  // namespace brxpack
