#include "brxpack/simulate/windows_folders.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "brxpack/contents/windows_path_limits.h"
#include "brxpack/host/host_path.h"
#include "package/entry_names.h"

namespace brxpack {

namespace fs = std::filesystem;

namespace {

std::string Folded(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = brx::FoldLatin(c);
  return folded;
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

// Characters Windows refuses in a file or folder name.
bool NameAllowed(std::string_view name) {
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || std::strchr("<>:\"|?*", c) != nullptr) {
      return false;
    }
  }
  return !name.empty();
}

std::string Key(const fs::path& host) {
  return Utf8FromPath(host);
}

// Two host names that Windows would take for one: the same one wins every time.
template <typename Names>
void SortNames(Names& names) {
  std::sort(names.begin(), names.end(),
            [](const auto& a, const auto& b) { return a.text < b.text; });
}

}  // namespace

std::vector<std::string> WindowsPathComponents(std::string_view path) {
  const bool drive = path.size() >= 3 && path[1] == ':' && IsSeparator(path[2]) &&
                     ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
  if (!drive) return {};
  std::vector<std::string> parts{Folded(path.substr(0, 2))};
  std::string current;
  const auto endComponent = [&] {
    if (current == "..") {
      if (parts.size() > 1) parts.pop_back();
    } else if (!current.empty() && current != ".") {
      parts.push_back(current);
    }
    current.clear();
  };
  for (size_t i = 2; i < path.size(); ++i) {
    if (IsSeparator(path[i])) {
      endComponent();
    } else {
      current.push_back(path[i]);
    }
  }
  endComponent();
  return parts;
}

void WindowsFolders::Mount(std::string_view windowsPath, const fs::path& host) {
  std::vector<std::string> folded = WindowsPathComponents(windowsPath);
  for (std::string& part : folded) part = Folded(part);
  mounts_.push_back({std::move(folded), host});
}

WindowsFolders::Listing& WindowsFolders::ListingOf(const fs::path& folder) {
  const auto [it, fresh] = listings_.try_emplace(Key(folder));
  if (!fresh) return it->second;
  std::error_code error;
  for (fs::directory_iterator walk(folder, error); !error && walk != fs::directory_iterator();
       walk.increment(error)) {
    std::error_code kindError;
    Name name{Utf8FromPath(walk->path().filename()), walk->is_directory(kindError)};
    it->second[Folded(name.text)].push_back(std::move(name));
  }
  for (auto& [folded, names] : it->second) SortNames(names);
  return it->second;
}

const WindowsFolders::Name* WindowsFolders::Find(const fs::path& folder, const std::string& name) {
  const Listing& listing = ListingOf(folder);
  const auto it = listing.find(Folded(name));
  if (it == listing.end()) return nullptr;
  for (const Name& candidate : it->second) {
    if (candidate.text == name) return &candidate;
  }
  return &it->second.front();
}

ResolvedPath WindowsFolders::Resolve(std::string_view windowsPath) {
  ResolvedPath resolved;
  // The ANSI calls fail for a longer path before they look at the disk.
  if (windowsPath.size() > kLongestWindowsPath) return resolved;
  const std::vector<std::string> parts = WindowsPathComponents(windowsPath);
  for (const MountPoint& mount : mounts_) {
    if (parts.size() < mount.folded.size() ||
        !std::equal(mount.folded.begin(), mount.folded.end(), parts.begin(),
                    [](const std::string& a, const std::string& b) { return a == Folded(b); })) {
      continue;
    }
    resolved.inside = true;
    resolved.host = mount.host;
    if (parts.size() == mount.folded.size()) {
      std::error_code error;
      const fs::file_status status = fs::status(mount.host, error);
      resolved.parentExists = true;
      resolved.exists = fs::exists(status);
      resolved.isFolder = fs::is_directory(status);
      resolved.isMountRoot = resolved.isFolder;
      return resolved;
    }
    bool inFolder = fs::is_directory(mount.host);
    for (size_t i = mount.folded.size(); i < parts.size(); ++i) {
      if (!inFolder) return resolved;  // a folder on the way is missing, or is a file
      const std::string name = hostName_(parts[i]);
      const Name* found = Find(resolved.host, name);
      if (i + 1 == parts.size()) {
        resolved.parentExists = true;
        resolved.exists = found != nullptr;
        resolved.isFolder = found != nullptr && found->isFolder;
        resolved.nameAllowed = NameAllowed(parts[i]);
        resolved.spelled = resolved.host / PathFromUtf8(name);
      }
      resolved.host /= PathFromUtf8(found != nullptr ? found->text : name);
      inFolder = found != nullptr && found->isFolder;
    }
    return resolved;
  }
  return resolved;
}

void WindowsFolders::Added(const fs::path& host) {
  const auto it = listings_.find(Key(host.parent_path()));
  if (it == listings_.end()) return;
  std::error_code error;
  Name name{Utf8FromPath(host.filename()), fs::is_directory(host, error)};
  std::vector<Name>& names = it->second[Folded(name.text)];
  if (std::none_of(names.begin(), names.end(),
                   [&](const Name& n) { return n.text == name.text; })) {
    names.push_back(std::move(name));
    SortNames(names);
  }
}

void WindowsFolders::Removed(const fs::path& host) {
  const auto it = listings_.find(Key(host.parent_path()));
  if (it != listings_.end()) {
    const std::string name = Utf8FromPath(host.filename());
    const auto names = it->second.find(Folded(name));
    if (names != it->second.end()) {
      std::erase_if(names->second, [&](const Name& n) { return n.text == name; });
      if (names->second.empty()) it->second.erase(names);
    }
  }
  // A folder that moved or went takes its listings, and those below it, along.
  const std::string key = Key(host);
  const std::string below = Key(host / "");
  std::erase_if(listings_, [&](const auto& listing) {
    return listing.first == key || listing.first.compare(0, below.size(), below) == 0;
  });
}

}  // namespace brxpack
