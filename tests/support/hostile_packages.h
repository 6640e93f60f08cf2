#pragma once
// Packages a hostile author could write for the target of target_fixture.h:
// directories that claim up to 2^32 / 48 records, names without a
// terminator, streams that inflate far beyond their entry's size, and lists
// of `many` items. The unit tests run each through the whole installer; the
// fuzzers replay them as regressions (tests/fuzz/make_fuzz_inputs.cpp).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace brx::test {

enum class Ending {
  kRefused,    // the reader refuses the package: the usage text, nothing changed
  kInstalled,  // the success text and the package's level
  kFailed,     // a file or a command fails: no success text, the level stays
};

struct HostilePackage {
  std::string name;
  std::vector<uint8_t> bytes;
  Ending ending;
  size_t heapBound;                // most heap a run may hold at once beyond what it held
  const char* seamCall = nullptr;  // when named, made exactly `calls` times
  uint64_t calls = 0;
};

std::vector<HostilePackage> HostilePackages(uint32_t many);

// `count` copies of `item` followed by `closing`: a long list in few bytes of code.
std::vector<uint8_t> Repeated(const std::string& item, uint32_t count, const std::string& closing);

}  // namespace brx::test
