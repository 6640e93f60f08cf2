#include "brxpack/host/same_contents.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>

#include "brxpack/host/host_path.h"

namespace brxpack {

namespace {

constexpr size_t kCompareChunk = 1 << 20;

Error Unreadable(const std::filesystem::path& path) {
  return Error{Utf8FromPath(path) + ": cannot read: " + LastSystemErrorText()};
}

}  // namespace

Result<std::vector<bool>> SameContentsAsEach(const SizedFile& reference,
                                             const std::vector<SizedFile>& others) {
  std::vector<bool> same(others.size(), false);
  // Streams of the files still equal so far; null once one differs.
  std::vector<std::unique_ptr<std::ifstream>> open(others.size());
  size_t live = 0;
  for (size_t i = 0; i < others.size(); ++i) {
    if (others[i].size != reference.size) continue;
    same[i] = true;
    if (reference.size == 0) continue;
    open[i] = std::make_unique<std::ifstream>(others[i].path, std::ios::binary);
    ++live;
  }
  if (live == 0) return same;
  std::ifstream source(reference.path, std::ios::binary);
  std::vector<char> expected(static_cast<size_t>(std::min<uint64_t>(reference.size, kCompareChunk)));
  std::vector<char> got(expected.size());
  for (uint64_t remaining = reference.size; remaining > 0 && live > 0;) {
    const size_t part = static_cast<size_t>(std::min<uint64_t>(remaining, kCompareChunk));
    source.read(expected.data(), static_cast<std::streamsize>(part));
    if (!source) return Unreadable(reference.path);
    for (size_t i = 0; i < others.size(); ++i) {
      if (!open[i]) continue;
      open[i]->read(got.data(), static_cast<std::streamsize>(part));
      if (!*open[i]) return Unreadable(others[i].path);
      if (std::memcmp(expected.data(), got.data(), part) != 0) {
        same[i] = false;
        open[i].reset();
        --live;
      }
    }
    remaining -= part;
  }
  return same;
}

}  // namespace brxpack
