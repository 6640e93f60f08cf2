#include "brxpack/contents/package_path.h"

#include <algorithm>
#include <cstdio>

#include "brxpack/contents/display_text.h"
#include "brxpack/contents/windows1251.h"
#include "package/entry_names.h"

namespace brxpack {

namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

bool IsControl(char c) {
  const unsigned char byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

std::vector<std::string_view> SplitAll(std::string_view path) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || IsSeparator(path[i])) {
      parts.push_back(path.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

// CON, PRN, AUX, NUL, COM1-COM9 and LPT1-LPT9 name devices whatever follows
// the first dot, and with blanks before it.
bool IsDeviceName(std::string_view component) {
  std::string base(component.substr(0, component.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char& c : base) c = brx::FoldLatin(c);
  if (base == "con" || base == "prn" || base == "aux" || base == "nul") return true;
  return base.size() == 4 && (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

// The longest name of this use that fits below C:\ (for a file: with its
// ".bak", and its folder within what CreateDirectoryA takes).
size_t LongestPath(PathUse use) {
  switch (use) {
    case PathUse::kInstalledFile:
      return kLongestWindowsPath - kShortestTargetFolderLength - kBackupSuffixLength;
    case PathUse::kFolder:
      return kLongestWindowsFolderPath - kShortestTargetFolderLength;
    case PathUse::kRemoval:
      return kLongestWindowsPath - kShortestTargetFolderLength;
    case PathUse::kProgram:
      break;
  }
  return kInstallerProgramLimit - kTypicalTargetFolderLength;
}

std::optional<std::string> LengthProblem(std::string_view path, PathUse use) {
  const size_t longest = LongestPath(use);
  if (use == PathUse::kProgram) {
    if (path.size() <= longest) return std::nullopt;
    return "is " + std::to_string(path.size()) + " bytes long: with a typical " +
           std::to_string(kTypicalTargetFolderLength) +
           "-character program folder it passes the installer's " +
           std::to_string(kInstallerProgramLimit) + "-character program paths (at most " +
           std::to_string(longest) + " fit)";
  }
  const bool file = use == PathUse::kInstalledFile;
  if (path.size() > longest) {
    return "is " + std::to_string(path.size()) +
           " characters long: even below the shortest program folder (C:\\)" +
           (file ? " and with \".bak\"" : "") + " it passes the " +
           std::to_string(use == PathUse::kFolder ? kLongestWindowsFolderPath
                                                  : kLongestWindowsPath) +
           " characters Windows takes (at most " + std::to_string(longest) + " fit)";
  }
  if (!file) return std::nullopt;
  // The installer creates the file's folders first, with CreateDirectoryA.
  const size_t folder = path.find_last_of("\\/");
  const size_t longestFolder = LongestPath(PathUse::kFolder);
  if (folder == std::string_view::npos || folder <= longestFolder) return std::nullopt;
  return "has a folder part of " + std::to_string(folder) +
         " characters: even below the shortest program folder (C:\\) it passes the " +
         std::to_string(kLongestWindowsFolderPath) +
         " characters CreateDirectoryA takes (at most " + std::to_string(longestFolder) + " fit)";
}

std::optional<std::string> ComponentProblem(std::string_view component) {
  if (component == "..") return "climbs out of the program's folder with \"..\"";
  const std::string shown = ShownName(component);
  if (!component.empty() && (component.back() == '.' || component.back() == ' ')) {
    return "has the component " + shown + ", ending in a dot or a space that Windows drops";
  }
  if (IsDeviceName(component)) {
    return "has the component " + shown + ", a Windows device name, not a file";
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> ControlCharacterProblem(std::string_view text) {
  for (const char c : text) {
    if (!IsControl(c)) continue;
    char code[8];
    std::snprintf(code, sizeof code, "U+%04X",
                  static_cast<unsigned>(static_cast<unsigned char>(c)));
    return std::string("holds a control character (") + code + ")";
  }
  return std::nullopt;
}

std::optional<std::string> PackagePathProblem(std::string_view path, PathUse use) {
  if (path.empty()) return "is empty";
  if (std::optional<std::string> control = ControlCharacterProblem(path)) return control;
  if (IsSeparator(path[0])) return "is absolute (begins with a separator)";
  if (path.find(':') != std::string_view::npos) {
    return "holds a colon (a drive letter or a stream name)";
  }
  for (const std::string_view component : SplitAll(path)) {
    if (std::optional<std::string> problem = ComponentProblem(component)) return problem;
  }
  const size_t refused = path.find_first_of("<>\"|?*");
  if (refused != std::string_view::npos) {
    return "holds '" + std::string(1, path[refused]) + "', which Windows refuses in names";
  }
  // The installer makes a file's folders at each "\\" alone; Windows would
  // take "/" as a separator too, so the folder before it would be missing.
  if (path.find('/') != std::string_view::npos) {
    return "holds '/', which the installer does not take as a separator (write '\\')";
  }
  const bool namesFile = use == PathUse::kInstalledFile || use == PathUse::kProgram;
  if (namesFile && IsSeparator(path.back())) return "ends in a separator, so it names no file";
  return LengthProblem(path, use);
}

std::optional<std::string> PathLengthWarning(std::string_view path, PathUse use) {
  if (use == PathUse::kProgram || path.size() <= kLongestQuietInstalledPath) return std::nullopt;
  return "is " + std::to_string(path.size()) + " characters long, more than the " +
         std::to_string(kLongestQuietInstalledPath) + " that leave room for a typical " +
         std::to_string(kTypicalTargetFolderLength) +
         "-character program folder: below a longer one Windows cannot reach it";
}

std::optional<std::string> ProgramProblem(std::string_view program, bool relative) {
  if (relative) return PackagePathProblem(program, PathUse::kProgram);
  if (std::optional<std::string> control = ControlCharacterProblem(program)) return control;
  const bool drive = program.size() >= 3 && brx::FoldLatin(program[0]) >= 'a' &&
                     brx::FoldLatin(program[0]) <= 'z' && program[1] == ':' &&
                     IsSeparator(program[2]);
  const bool share = program.size() >= 2 && IsSeparator(program[0]) && IsSeparator(program[1]);
  if (!drive && !share) {
    return "is not an absolute path (such as C:\\Tools\\setup.exe); a program that is not "
           "relative to the program's folder is started as it stands, from whatever folder the "
           "installer runs in";
  }
  if (program.size() > kInstallerProgramLimit) {
    return "is " + std::to_string(program.size()) + " bytes long; the installer's program paths " +
           "hold at most " + std::to_string(kInstallerProgramLimit);
  }
  return std::nullopt;
}

std::string WithBackslashes(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

std::vector<std::string> PathComponents(std::string_view path) {
  std::vector<std::string> components;
  for (const std::string_view part : SplitAll(path)) {
    if (!part.empty()) components.emplace_back(part);
  }
  return components;
}

std::string InstalledPathKey(std::string_view path) {
  std::string key;
  for (const std::string& component : PathComponents(path)) {
    if (!key.empty()) key.push_back('\\');
    for (const char c : component) key.push_back(FoldLikeWindowsFileNames(c));
  }
  return key;
}

}  // namespace brxpack
