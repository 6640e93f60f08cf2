#include "brxpack/contents/installed_path.h"

namespace brxpack {

namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
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

}  // namespace

std::optional<std::string> EscapeProblem(std::string_view installedPath) {
  if (!installedPath.empty() && IsSeparator(installedPath[0])) {
    return "is absolute (begins with a separator)";
  }
  if (installedPath.find(':') != std::string_view::npos) {
    return "holds a colon (a drive or a stream name)";
  }
  for (const std::string_view part : SplitAll(installedPath)) {
    if (part == "..") return "climbs out of the target folder with \"..\"";
  }
  return std::nullopt;
}

std::optional<std::string> InstalledPathProblem(std::string_view installedPath) {
  if (installedPath.empty()) return "is empty";
  if (std::optional<std::string> escape = EscapeProblem(installedPath)) return escape;
  if (IsSeparator(installedPath.back())) return "ends in a separator, so it names no file";
  for (const char c : installedPath) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*') {
      return "holds a character that Windows refuses in file names";
    }
  }
  if (installedPath.size() > kLongestInstalledPath) {
    return "is " + std::to_string(installedPath.size()) + " bytes long: with a typical " +
           std::to_string(kTypicalTargetFolderLength) + "-character target folder and \".bak\" " +
           "it passes the installer's " + std::to_string(kInstallerPathLimit) +
           "-character paths (at most " + std::to_string(kLongestInstalledPath) + " fit)";
  }
  return std::nullopt;
}

std::vector<std::string> PathComponents(std::string_view installedPath) {
  std::vector<std::string> components;
  for (const std::string_view part : SplitAll(installedPath)) {
    if (!part.empty() && part != ".") components.emplace_back(part);
  }
  return components;
}

}  // namespace brxpack
