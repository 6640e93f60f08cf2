#pragma once
// Windows paths (C:\Program Files\Notes\data\x.txt, ANSI bytes) resolved
// onto host folders mounted under them, as Windows resolves them: "\" and
// "/" separate, doubled and trailing separators and "." vanish, ".." goes
// up, and each name is found as it is or else as the one that equals it
// with the letters A to Z folded. Paths outside every mount, and paths
// longer than Windows' ANSI calls take (windows_path_limits.h), resolve to
// nothing, so nothing outside the mounted folders is ever touched. Each
// host folder is listed once; the changes made through the seam keep the
// listing current, so a lookup costs no system call beyond a stat.
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace brxpack {

// An ANSI name as the host spells it (UTF-8).
using HostName = std::string (*)(std::string_view ansi);

struct ResolvedPath {
  bool inside = false;        // below a mounted folder, or the mounted file itself
  bool parentExists = false;  // the folder that holds (or would hold) it exists
  bool exists = false;
  bool isFolder = false;
  bool isMountRoot = false;       // the mounted folder itself
  bool nameAllowed = false;       // Windows would let a file or folder take this name
  std::filesystem::path host;     // the existing entry, or where a new one would go
  std::filesystem::path spelled;  // the same with the last name as given
};

class WindowsFolders {
 public:
  explicit WindowsFolders(HostName hostName) : hostName_(hostName) {}

  // `windowsPath` (a folder, or one file) stands for `host` from now on.
  void Mount(std::string_view windowsPath, const std::filesystem::path& host);

  ResolvedPath Resolve(std::string_view windowsPath);

  // Keep the listings current after a change made on the host.
  void Added(const std::filesystem::path& host);
  void Removed(const std::filesystem::path& host);

 private:
  struct MountPoint {
    std::vector<std::string> folded;  // the Windows path's components
    std::filesystem::path host;
  };
  struct Name {
    std::string text;  // UTF-8, as the host spells it
    bool isFolder = false;
  };
  using Listing = std::unordered_map<std::string, std::vector<Name>>;  // by the folded name

  Listing& ListingOf(const std::filesystem::path& folder);
  // The entry of `folder` that Windows takes for `name`, or nothing.
  const Name* Find(const std::filesystem::path& folder, const std::string& name);

  HostName hostName_;
  std::vector<MountPoint> mounts_;
  std::unordered_map<std::string, Listing> listings_;  // by the folder's host path
};

// Components of a Windows path as Windows reads them; the drive ("c:") is
// the first. Empty for a path without a drive.
std::vector<std::string> WindowsPathComponents(std::string_view path);

}  // namespace brxpack
