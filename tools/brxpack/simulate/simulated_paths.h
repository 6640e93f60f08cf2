#pragma once
// Paths of the simulated Windows (ANSI bytes) as its ANSI file calls read
// them: "C:\..." on its drive, "\..." on the current drive (C:); "\" and
// "/" separate; doubled and trailing separators and "." vanish; ".." goes up
// but never above the drive. Refused, as those calls refuse them: relative
// and network paths, paths longer than kLongestWindowsPath, and names with
// a character Windows never allows in one.
#include <optional>
#include <string>
#include <string_view>

namespace brxpack {

struct WindowsPath {
  std::string spelled;  // the drive and the names joined by "\", as given
  // The same with the letters A to Z folded: two paths name one file
  // exactly when their keys are equal.
  std::string key;
  size_t lastName = 0;  // where the last name (or the drive) begins in both

  std::string_view name() const { return std::string_view(spelled).substr(lastName); }
  // The key of the folder that holds it; empty for a drive.
  std::string_view parentKey() const {
    return std::string_view(key).substr(0, lastName == 0 ? 0 : lastName - 1);
  }
};

std::optional<WindowsPath> ReadWindowsPath(std::string_view path);

// A text the installer passed to a call, "" for a null pointer.
inline std::string_view TextOrEmpty(const char* text) {
  return text != nullptr ? std::string_view(text) : std::string_view();
}

// A name Windows lets a file or folder take.
bool IsWindowsName(std::string_view name);

}  // namespace brxpack
