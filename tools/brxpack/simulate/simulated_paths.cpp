#include "brxpack/simulate/simulated_paths.h"

#include <algorithm>

#include "brxpack/contents/package_path.h"
#include "brxpack/contents/windows1251.h"

namespace brxpack {

namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

bool IsDriveLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

std::optional<WindowsPath> ReadWindowsPath(std::string_view path) {
  const char* text = path.data();
  const size_t size = path.size();
  if (size > kLongestWindowsPath) return std::nullopt;
  WindowsPath read;
  read.spelled.reserve(size + 2);
  size_t start = 0;  // of the name being read
  if (size >= 3 && IsDriveLetter(text[0]) && text[1] == ':' && IsSeparator(text[2])) {
    read.spelled.assign(text, 2);
    start = 3;
  } else if (size != 0 && IsSeparator(text[0]) && (size == 1 || !IsSeparator(text[1]))) {
    read.spelled.assign("C:");
  } else {
    return std::nullopt;
  }
  for (size_t end = start; end <= size; ++end) {
    if (end < size && !IsSeparator(text[end])) continue;
    const std::string_view name(text + start, end - start);
    start = end + 1;
    if (name == "..") {
      if (read.lastName != 0) read.spelled.resize(read.lastName - 1);
      const size_t slash = read.spelled.rfind('\\');
      read.lastName = slash == std::string::npos ? 0 : slash + 1;
    } else if (!name.empty() && name != ".") {
      if (!IsWindowsName(name)) return std::nullopt;
      read.spelled.push_back('\\');
      read.lastName = read.spelled.size();
      read.spelled.append(name);
    }
  }
  read.key = FoldedName(read.spelled);
  return read;
}

bool IsWindowsName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 ||
           std::string_view("<>:\"|?*").find(c) != std::string_view::npos;
  });
}

}  // namespace brxpack
