#include "brxpack/host/process_environment.h"

#include <cstdio>

#include "brxpack/host/host_path.h"

#ifdef _WIN32
// windows.h first: the other Windows headers build on it.
// clang-format off
#include <windows.h>
#include <io.h>
#include <shellapi.h>
// clang-format on
#else
#include <unistd.h>
#endif

namespace brxpack {

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  std::vector<std::string> arguments;
#ifdef _WIN32
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide != nullptr) {
    for (int i = 0; i < count; ++i)
      arguments.push_back(Utf8FromPath(std::filesystem::path(wide[i])));
    LocalFree(wide);
    return arguments;
  }
#endif
  for (int i = 0; i < argc; ++i) arguments.emplace_back(argv[i]);
  return arguments;
}

std::optional<std::filesystem::path> OwnExecutablePath() {
#ifdef _WIN32
  std::wstring buffer(32768, L'\0');
  const DWORD length =
      GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length == 0 || length >= buffer.size()) return std::nullopt;
  buffer.resize(length);
  return std::filesystem::path(buffer);
#else
  std::error_code error;
  std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return std::nullopt;
  return path;
#endif
}

bool StandardErrorIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

void PrepareConsoleForUtf8() {
#ifdef _WIN32
  SetConsoleOutputCP(CP_UTF8);
#endif
}

}  // namespace brxpack
