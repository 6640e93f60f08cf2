#include "brxpack/host/host_path.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace brxpack {

std::filesystem::path PathFromUtf8(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::filesystem::path PathFromManifest(std::string_view utf8) {
  std::string path(utf8);
  std::replace(path.begin(), path.end(), '\\', '/');
  return PathFromUtf8(path);
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string GenericUtf8(const std::filesystem::path& path) {
  const std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
}

std::string SystemErrorText(const std::error_code& error) {
#ifdef _WIN32
  if (error.category() == std::system_category()) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error.value()), 0, reinterpret_cast<wchar_t*>(&buffer), 0,
        nullptr);
    if (length != 0) {
      std::string text = Utf8FromPath(std::filesystem::path(std::wstring(buffer, length)));
      LocalFree(buffer);
      while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.')) {
        text.pop_back();
      }
      return text;
    }
    return "system error " + std::to_string(error.value());
  }
#endif
  return error.message();
}

std::string LastSystemErrorText() {
#ifdef _WIN32
  return SystemErrorText(std::error_code(static_cast<int>(GetLastError()), std::system_category()));
#else
  return std::strerror(errno);
#endif
}

}  // namespace brxpack
