#include "brxpack/simulate/simulated_windows.h"

#include <algorithm>
#include <cstring>

#include "brxpack/contents/package_path.h"
#include "brxpack/contents/windows1251.h"

namespace brxpack {

namespace fs = std::filesystem;

namespace {

// Whether `key` is `folder` itself or lies below it.
bool Within(std::string_view key, std::string_view folder) {
  return key.starts_with(folder) && (key.size() == folder.size() || key[folder.size()] == '\\');
}

bool IsFile(const SimulatedWindows::Node* node) {
  return node != nullptr && !node->isFolder;
}

bool IsFolderNode(const SimulatedWindows::Node* node) {
  return node != nullptr && node->isFolder;
}

std::optional<uint64_t> SizeOf(const SimulatedWindows::Node& node, HostMirror* mirror) {
  if (node.bytes) return node.bytes->size();
  return mirror->Size(node.host);
}

}  // namespace

// A path as the model finds it.
struct SimulatedWindows::Place {
  bool valid = false;  // the calls take the path
  bool known = false;  // the model knows what stands there
  WindowsPath path;
  Node* node = nullptr;  // what stands there
};

SimulatedWindows::Place SimulatedWindows::Find(std::string_view path) {
  Place place;
  std::optional<WindowsPath> read = ReadWindowsPath(path);
  if (!read) return place;
  place.valid = true;
  place.path = std::move(*read);
  place.known = Known(place.path.key);
  if (!place.known) return place;
  const auto node = nodes_.find(place.path.key);
  if (node != nodes_.end()) place.node = &node->second;
  return place;
}

SimulatedWindows::Node* SimulatedWindows::FolderOf(const Place& place) {
  if (!place.known || place.path.lastName == 0) return nullptr;
  const auto folder = nodes_.find(std::string(place.path.parentKey()));
  return folder != nodes_.end() && folder->second.isFolder ? &folder->second : nullptr;
}

bool SimulatedWindows::Known(const std::string& key) const {
  return mounts_.empty() || std::any_of(mounts_.begin(), mounts_.end(),
                                        [&](const auto& mount) { return Within(key, mount); });
}

bool SimulatedWindows::Fixed(const std::string& key) const {
  return key.find('\\') == std::string::npos ||
         std::find(mounts_.begin(), mounts_.end(), key) != mounts_.end();
}

bool SimulatedWindows::HoldsAnything(const std::string& folder) const {
  const std::string below = folder + '\\';
  const auto next = nodes_.lower_bound(below);
  return next != nodes_.end() && next->first.starts_with(below);
}

bool SimulatedWindows::InUse(const std::string& key, bool writersOnly) const {
  for (const auto& [handle, held] : handles_) {
    if (held.kind != Held::Kind::kProcess && (held.writes || !writersOnly) &&
        Within(held.file, key)) {
      return true;
    }
  }
  for (const auto& [address, view] : views_) {
    if ((view.writes || !writersOnly) && Within(view.file, key)) return true;
  }
  return false;
}

fs::path SimulatedWindows::HostBelow(const Node& folder, const Place& place) {
  if (folder.host.empty()) return {};
  return mirror_->Below(folder.host, std::string(place.path.name()));
}

brx::Handle SimulatedWindows::NewHandle(Held held) {
  const brx::Handle handle = next_;
  next_ += 4;
  handles_.emplace(handle, std::move(held));
  return handle;
}

const std::string* SimulatedWindows::FileOf(brx::Handle handle) const {
  const auto it = handles_.find(handle);
  return it != handles_.end() && it->second.kind == Held::Kind::kFile ? &it->second.file : nullptr;
}

void SimulatedWindows::Mount(std::string_view windowsPath, const fs::path& host, bool isFolder) {
  const std::optional<WindowsPath> read = ReadWindowsPath(windowsPath);
  if (!read) return;
  mounts_.push_back(read->key);
  nodes_[read->key] = {.name = std::string(read->name()), .isFolder = isFolder, .host = host};
  if (isFolder) Load(read->key, host);
}

// A host name that no Windows name spells, or that Windows would take for
// one held already, is held where no path reaches it: it still fills its
// folder.
void SimulatedWindows::Load(const std::string& key, const fs::path& host) {
  for (HostMirror::Entry& entry : mirror_->List(host)) {
    std::string below = key + '\\' + FoldedName(entry.name);
    if (!IsWindowsName(entry.name) || nodes_.count(below) != 0) {
      below = key + "\\|" + std::to_string(unreachable_++);
    }
    nodes_[below] = {.name = std::move(entry.name), .isFolder = entry.isFolder, .host = entry.host};
    if (entry.isFolder) Load(below, entry.host);
  }
}

size_t SimulatedWindows::OpenHandleCount() const {
  return handles_.size() + views_.size() + registry_.openKeys();
}

void SimulatedWindows::ReleaseAll() {
  // What the host cannot store stays the mirror's fault.
  for (const auto& [address, view] : views_) Store(view);
  views_.clear();
  handles_.clear();
  registry_.CloseAll();
}

// GENERIC_READ with FILE_SHARE_READ: refused while anything writes the file,
// a mapping or a view among them.
brx::Handle SimulatedWindows::OpenFileForReading(const char* path) {
  const Place file = Find(TextOrEmpty(path));
  if (!IsFile(file.node) || InUse(file.path.key, true)) return brx::kNoHandle;
  return NewHandle({.kind = Held::Kind::kFile, .file = file.path.key});
}

// CREATE_ALWAYS, FILE_SHARE_READ, FILE_ATTRIBUTE_NORMAL: refused over a
// folder, a read-only or hidden file, a file open or mapped at all, and
// where the folder for it is missing.
brx::Handle SimulatedWindows::CreateFileForWriting(const char* path) {
  const Place file = Find(TextOrEmpty(path));
  const Node* node = file.node;
  const bool refused = node != nullptr && (node->isFolder || node->readOnly || node->hidden);
  return refused || InUse(file.path.key) ? brx::kNoHandle : Create(file);
}

// CREATE_NEW: refused over anything that stands at the path.
brx::Handle SimulatedWindows::CreateNewFile(const char* path) {
  const Place file = Find(TextOrEmpty(path));
  return file.node == nullptr ? Create(file) : brx::kNoHandle;
}

// The file made anew and empty where the folder for it exists; one that
// stood there keeps its name.
brx::Handle SimulatedWindows::Create(const Place& file) {
  const Node* folder = FolderOf(file);
  if (folder == nullptr) return brx::kNoHandle;
  const fs::path host = file.node != nullptr ? file.node->host : HostBelow(*folder, file);
  if (!host.empty() && !mirror_->Resize(host, 0)) return brx::kNoHandle;
  Node& node = file.node != nullptr ? *file.node : nodes_[file.path.key];
  if (file.node == nullptr) node = {.name = std::string(file.path.name()), .host = host};
  if (host.empty()) node.bytes = std::make_shared<std::vector<uint8_t>>();
  return NewHandle({.kind = Held::Kind::kFile, .file = file.path.key, .writes = true});
}

std::optional<uint32_t> SimulatedWindows::FileSize(brx::Handle file) {
  const std::string* key = FileOf(file);
  if (key == nullptr) return std::nullopt;
  const std::optional<uint64_t> size = SizeOf(nodes_.at(*key), mirror_);
  if (!size || *size > UINT32_MAX) return std::nullopt;
  return static_cast<uint32_t>(*size);
}

// A read mapping holds the whole file; a write mapping gives the file its
// size. Neither can be made of an empty file.
brx::Handle SimulatedWindows::CreateMapping(brx::Handle file, brx::MapAccess access,
                                            uint32_t size) {
  const bool writes = access == brx::MapAccess::kWrite;
  const std::string* key = FileOf(file);
  if (key == nullptr || (writes && !handles_.at(file).writes)) return brx::kNoHandle;
  Node& node = nodes_.at(*key);
  const std::optional<uint64_t> length = SizeOf(node, mirror_);
  const uint64_t mapped = size != 0 ? size : length.value_or(0);
  if (!length || mapped == 0 || mapped > UINT32_MAX) return brx::kNoHandle;
  if (*length < mapped) {
    if (!writes) return brx::kNoHandle;
    if (node.bytes) {
      node.bytes->resize(static_cast<size_t>(mapped));
    } else if (!mirror_->Resize(node.host, static_cast<uint32_t>(mapped))) {
      return brx::kNoHandle;
    }
  }
  return NewHandle({.kind = Held::Kind::kMapping,
                    .file = *key,
                    .writes = writes,
                    .size = static_cast<uint32_t>(mapped)});
}

// A file's bytes, and in `kept` what keeps them: the node's own, or the
// host file mapped. Nothing when the host cannot map it.
brx::MemoryRange SimulatedWindows::Contents(const Node& node, std::shared_ptr<const void>* kept) {
  if (node.bytes) {
    *kept = node.bytes;
    return {node.bytes->data(), static_cast<uint32_t>(node.bytes->size())};
  }
  const std::shared_ptr<const brx::MemoryRange> mapped = mirror_->Map(node.host);
  if (!mapped) return {};
  *kept = mapped;
  return *mapped;
}

uint8_t* SimulatedWindows::MapView(brx::Handle mapping, brx::MapAccess access) {
  const auto it = handles_.find(mapping);
  if (it == handles_.end() || it->second.kind != Held::Kind::kMapping ||
      (access == brx::MapAccess::kWrite && !it->second.writes)) {
    return nullptr;
  }
  const Held& held = it->second;
  View view{.file = held.file, .writes = held.writes};
  const brx::MemoryRange contents = Contents(nodes_.at(held.file), &view.kept);
  if (contents.data == nullptr) return nullptr;
  // The installer never writes through a read view; the seam's type is shared.
  uint8_t* address = const_cast<uint8_t*>(contents.data);
  if (held.writes) {
    view.bytes.assign(held.size, 0);
    std::memcpy(view.bytes.data(), contents.data, std::min(contents.size, held.size));
    view.kept.reset();
    address = view.bytes.data();
  }
  views_.emplace(address, std::move(view));
  return address;
}

// A write view's bytes reach the file here, as a mapped file's pages do
// when its view is released.
bool SimulatedWindows::UnmapView(const uint8_t* view) {
  const auto it = views_.find(view);
  if (it == views_.end()) return false;
  const bool stored = Store(it->second);
  views_.erase(it);
  return stored;
}

bool SimulatedWindows::Store(const View& view) {
  if (!view.writes) return true;
  Node& node = nodes_.at(view.file);
  if (!node.bytes) return mirror_->Write(node.host, view.bytes);
  std::copy(view.bytes.begin(), view.bytes.end(), node.bytes->begin());
  return true;
}

bool SimulatedWindows::FillView(uint8_t* view, uint32_t, ViewFill fill, void* context) {
  return fill(context, view);
}

bool SimulatedWindows::Close(brx::Handle handle) {
  return handles_.erase(handle) != 0;
}

// CreateDirectoryA: one folder, where nothing stands, in a folder that exists.
bool SimulatedWindows::CreateFolder(const char* path) {
  if (TextOrEmpty(path).size() > kLongestWindowsFolderPath) return false;
  const Place folder = Find(TextOrEmpty(path));
  const Node* parent = FolderOf(folder);
  if (folder.node != nullptr || parent == nullptr) return false;
  const fs::path host = HostBelow(*parent, folder);
  if (!host.empty() && !mirror_->MakeFolder(host)) return false;
  nodes_[folder.path.key] = {
      .name = std::string(folder.path.name()), .isFolder = true, .host = host};
  return true;
}

// RemoveDirectoryA: only an empty folder.
bool SimulatedWindows::RemoveFolder(const char* path) {
  const Place folder = Find(TextOrEmpty(path));
  const std::string& key = folder.path.key;
  if (!IsFolderNode(folder.node) || Fixed(key) || HoldsAnything(key)) return false;
  return Erase(folder);
}

bool SimulatedWindows::Erase(const Place& place) {
  if (!place.node->host.empty() && !mirror_->Remove(place.node->host)) return false;
  nodes_.erase(place.path.key);
  return true;
}

// MoveFileA: refuses a destination that exists (unless it is the source
// itself under another case), a source in use, and a folder into itself.
bool SimulatedWindows::MovePath(const char* from, const char* to) {
  const Place source = Find(TextOrEmpty(from));
  const Place target = Find(TextOrEmpty(to));
  const bool caseOnly = target.node != nullptr && target.node == source.node;
  const Node* into = FolderOf(target);
  if (source.node == nullptr || Fixed(source.path.key) || into == nullptr ||
      (target.node != nullptr && !caseOnly) ||
      (!caseOnly && Within(target.path.key, source.path.key)) || InUse(source.path.key)) {
    return false;
  }
  const fs::path fromHost = source.node->host;
  const fs::path host = HostBelow(*into, target);
  if (!fromHost.empty() && !mirror_->Move(fromHost, host)) return false;
  std::vector<decltype(nodes_)::node_type> moved;
  moved.push_back(nodes_.extract(source.path.key));
  const std::string below = source.path.key + '\\';
  for (auto it = nodes_.lower_bound(below); it != nodes_.end() && it->first.starts_with(below);) {
    moved.push_back(nodes_.extract(it++));
  }
  for (auto& entry : moved) {
    const bool root = entry.key() == source.path.key;
    entry.key() = target.path.key + entry.key().substr(source.path.key.size());
    if (!host.empty()) {
      entry.mapped().host = root ? host : host / entry.mapped().host.lexically_relative(fromHost);
    }
    if (root) entry.mapped().name = target.path.name();
    nodes_.insert(std::move(entry));
  }
  return true;
}

// DeleteFileA: files only, not read-only ones, and not while open or mapped.
bool SimulatedWindows::DeletePath(const char* path) {
  const Place file = Find(TextOrEmpty(path));
  const std::string& key = file.path.key;
  if (!IsFile(file.node) || file.node->readOnly || Fixed(key) || InUse(key)) return false;
  return Erase(file);
}

bool SimulatedWindows::PathExists(const char* path) {
  return Find(TextOrEmpty(path)).node != nullptr;
}

bool SimulatedWindows::IsFolder(const char* path) {
  return IsFolderNode(Find(TextOrEmpty(path)).node);
}

// CreateProcessA fails for a program or current folder that does not exist.
bool SimulatedWindows::StartProcess(const char* application, char* commandLine,
                                    const char* currentFolder, brx::ProcessHandles* started) {
  const Place program = Find(TextOrEmpty(application));
  const Place folder = Find(TextOrEmpty(currentFolder));
  SeamEvent command{SeamEvent::Kind::kCommand, std::string(TextOrEmpty(commandLine)),
                    std::string(TextOrEmpty(application)), std::string(TextOrEmpty(currentFolder))};
  const bool fails = !program.valid || !folder.valid || (program.known && !IsFile(program.node)) ||
                     (folder.known && !IsFolderNode(folder.node));
  command.fate = fails           ? CommandFate::kNotStarted
                 : program.known ? CommandFate::kStarted
                                 : CommandFate::kUnchecked;
  if (!fails) {
    const size_t listed = log ? events_.size() : SIZE_MAX;
    started->process = NewHandle({.kind = Held::Kind::kProcess, .command = listed});
    started->thread = NewHandle({.kind = Held::Kind::kProcess, .command = listed});
    if (onStart) onStart(*this, command);
  }
  if (log) events_.push_back(std::move(command));
  return !fails;
}

void SimulatedWindows::WaitForProcess(brx::Handle process) {
  const auto it = handles_.find(process);
  if (it != handles_.end() && it->second.kind == Held::Kind::kProcess &&
      it->second.command < events_.size()) {
    events_[it->second.command].waited = true;
  }
}

void SimulatedWindows::SetStatusText(const char* text) {
  events_.push_back({.kind = SeamEvent::Kind::kStatus, .text = std::string(TextOrEmpty(text))});
}

int SimulatedWindows::AskUser(const char* text, const char* caption, uint32_t style) {
  events_.push_back({.kind = SeamEvent::Kind::kQuestion,
                     .text = std::string(TextOrEmpty(text)),
                     .caption = std::string(TextOrEmpty(caption)),
                     .style = style,
                     .answer = (style & 0x0F) == brx::kMbOkCancel ? answer : brx::kIdOk});
  return events_.back().answer;
}

}  // namespace brxpack
