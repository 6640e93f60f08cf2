#include "brxpack/host/same_contents.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <vector>

#include "brxpack/host/host_path.h"

namespace brxpack {

namespace {

constexpr size_t kChunk = 1 << 20;

}  // namespace

Result<bool> SameContents(const std::filesystem::path& a, uint64_t sizeA,
                          const std::filesystem::path& b, uint64_t sizeB) {
  if (sizeA != sizeB) return false;
  std::ifstream first(a, std::ios::binary);
  std::ifstream second(b, std::ios::binary);
  std::vector<char> left(static_cast<size_t>(std::min<uint64_t>(sizeA, kChunk)));
  std::vector<char> right(left.size());
  for (uint64_t remaining = sizeA; remaining > 0;) {
    const size_t part = static_cast<size_t>(std::min<uint64_t>(remaining, kChunk));
    first.read(left.data(), static_cast<std::streamsize>(part));
    second.read(right.data(), static_cast<std::streamsize>(part));
    if (!first) return Error{Utf8FromPath(a) + ": cannot read: " + LastSystemErrorText()};
    if (!second) return Error{Utf8FromPath(b) + ": cannot read: " + LastSystemErrorText()};
    if (std::memcmp(left.data(), right.data(), part) != 0) return false;
    remaining -= part;
  }
  return true;
}

}  // namespace brxpack
