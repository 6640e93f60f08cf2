#include "brxpack/host/host_file_io.h"

#include <cerrno>
#include <string>
#include <vector>

namespace brxpack {

std::FILE* OpenHostFile(const std::filesystem::path& path, const char* mode) {
  errno = 0;
#ifdef _WIN32
  const std::wstring wide(mode, mode + std::char_traits<char>::length(mode));
  return _wfopen(path.c_str(), wide.c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

std::error_code LastHostError() {
  return std::error_code(errno != 0 ? errno : EIO, std::generic_category());
}

std::error_code CopyHostFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::FILE* source = OpenHostFile(from, "rb");
  if (source == nullptr) return LastHostError();
  std::FILE* target = OpenHostFile(to, "wb");
  if (target == nullptr) {
    const std::error_code error = LastHostError();
    std::fclose(source);
    return error;
  }
  std::error_code error;
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const size_t got = std::fread(buffer.data(), 1, buffer.size(), source);
    if (got > 0 && std::fwrite(buffer.data(), 1, got, target) != got) {
      error = LastHostError();
      break;
    }
    if (got < buffer.size()) {
      if (std::ferror(source)) error = LastHostError();
      break;
    }
  }
  if (!error && std::fflush(target) != 0) error = LastHostError();
  if (std::fclose(target) != 0 && !error) error = LastHostError();
  std::fclose(source);
  return error;
}

std::error_code CopyHostFolder(const std::filesystem::path& from, const std::filesystem::path& to,
                               std::filesystem::path& at,
                               const std::function<void(uint64_t bytes)>& copied) {
  namespace fs = std::filesystem;
  std::error_code error;
  at = to;
  fs::recursive_directory_iterator walk(from, error);
  // A failed copy ends the walk before the next step, which would clear it.
  for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
    at = to / walk->path().lexically_relative(from);
    if (walk->is_directory(error)) {
      fs::create_directory(at, error);
    } else if (!error) {
      error = CopyHostFile(walk->path(), at);
      std::error_code sized;
      const uint64_t size = walk->file_size(sized);
      if (!error && !sized && copied) copied(size);
    }
    if (error) break;
  }
  return error;
}

}  // namespace brxpack
