#pragma once
// The installer comes in two builds of the same code: x86 (PE32, i386), the
// default, and x64 (PE32+, AMD64), for programs that record themselves in
// the 64-bit registry view. A stub is one or the other; anything else is
// no stub. A manifest's [target] arch or --arch chooses one.
#include <optional>
#include <string>
#include <string_view>

#include "brxpack/result.h"
#include "package/memory_range.h"

namespace brxpack {

enum class StubArch { kX86, kX64 };

// "x86" or "x64", as manifests and --arch write them.
const char* ArchName(StubArch arch);
std::optional<StubArch> ParseArch(std::string_view text);

// "x64 (PE32+, AMD64)"
std::string DescribeArch(StubArch arch);

// The architecture an image is built for; fails, saying what the image is
// instead, for anything but PE32 for i386 and PE32+ for AMD64.
Result<StubArch> ArchOfImage(brx::MemoryRange image);

// The architecture a command makes executables for, and what chose it.
struct ArchChoice {
  StubArch arch = StubArch::kX86;
  std::string chosenBy = "the default";
};

// --arch (empty when not given) before the manifest's [target] arch before
// the default, x86. The option's text was checked by the command line.
ArchChoice ChooseArch(const std::string& option, std::optional<StubArch> manifest);

}  // namespace brxpack
