#include "brxpack/stub/stub_architecture.h"

#include <cstdio>

#include "package/pe_image.h"

namespace brxpack {

const char* ArchName(StubArch arch) {
  return arch == StubArch::kX64 ? "x64" : "x86";
}

std::optional<StubArch> ParseArch(std::string_view text) {
  if (text == "x86") return StubArch::kX86;
  if (text == "x64") return StubArch::kX64;
  return std::nullopt;
}

std::string DescribeArch(StubArch arch) {
  return arch == StubArch::kX64 ? "x64 (PE32+, AMD64)" : "x86 (PE32, i386)";
}

Result<StubArch> ArchOfImage(brx::MemoryRange image) {
  brx::PeImage pe;
  if (brx::ReadPeImage(image, &pe) != brx::PeImageError::kNone) {
    return Error{"not a Windows program"};
  }
  if (!pe.plus && pe.machine == brx::kPeMachineI386) return StubArch::kX86;
  if (pe.plus && pe.machine == brx::kPeMachineAmd64) return StubArch::kX64;
  char machine[8];
  std::snprintf(machine, sizeof machine, "0x%04X", pe.machine);
  return Error{std::string("a ") + (pe.plus ? "PE32+" : "PE32") + " image for machine " + machine +
               ", neither PE32 for i386 (x86) nor PE32+ for AMD64 (x64)"};
}

ArchChoice ChooseArch(const std::string& option, std::optional<StubArch> manifest) {
  if (const std::optional<StubArch> given = ParseArch(option)) {
    return {*given, "--arch " + option};
  }
  if (manifest) return {*manifest, "the manifest's [target] arch"};
  return {};
}

}  // namespace brxpack
