#include "support/fake_system.h"

#include <cstring>

namespace brx {
namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
  return lower;
}

bool IsDriveRoot(const std::string& key) {
  return key.size() == 2 && key[1] == ':';
}

std::string ParentOf(const std::string& key) {
  const size_t slash = key.rfind('\\');
  return slash == std::string::npos ? std::string() : key.substr(0, slash);
}

// Whether `key` is `folder` itself or lies inside it.
bool Within(const std::string& key, const std::string& folder) {
  return key.compare(0, folder.size(), folder) == 0 &&
         (key.size() == folder.size() || key[folder.size()] == '\\');
}

std::string_view Text(const char* text) {
  return text != nullptr ? text : "(null)";
}

}  // namespace

std::string FakeSystem::NormalizePath(std::string_view path) {
  std::string key;
  for (char c : path) {
    if (c != '\\' || key.empty() || key.back() != '\\') key.push_back(c);
  }
  while (key.size() > 1 && key.back() == '\\') key.pop_back();
  return Lower(key);
}

std::string FakeSystem::RegistryPath(RegistryRoot root, std::string_view key) {
  std::string path = NormalizePath(key);
  path.erase(0, path.find_first_not_of('\\'));
  return (root == RegistryRoot::kCurrentUser ? "hkcu" : "hklm") + (path.empty() ? "" : "\\" + path);
}

bool FakeSystem::Fails(std::string_view call, std::string_view detail, std::string_view more) {
  const int index = callCount++;
  auto count = callCounts.find(call);
  if (count == callCounts.end()) count = callCounts.emplace(std::string(call), 0).first;
  const uint64_t nth = count->second++;
  if (index == killAtCall) {
    killed = true;
    handles_.clear();
    views_.clear();
    openKeys_.clear();
  }
  const auto rule = failNthCall.find(call);
  if (logCalls) {
    std::string line(call);
    if (!detail.empty()) line.append(" ").append(detail);
    if (!more.empty()) line.append(" | ").append(more);
    calls.push_back(std::move(line));
  }
  return killed || index == failCallIndex ||
         (rule != failNthCall.end() && static_cast<uint64_t>(rule->second) == nth);
}

bool FakeSystem::ParentIsFolder(const std::string& key) const {
  const std::string parent = ParentOf(key);
  if (IsDriveRoot(parent)) return true;
  const auto it = nodes_.find(parent);
  return it != nodes_.end() && it->second.isFolder;
}

bool FakeSystem::InUse(const std::string& key) const {
  for (const auto& [handle, info] : handles_) {
    if (!info.key.empty() && Within(info.key, key)) return true;
  }
  for (const auto& [view, path] : views_) {
    if (Within(path, key)) return true;
  }
  return false;
}

Handle FakeSystem::NewHandle(HandleInfo info) {
  const Handle handle = nextHandle_;
  nextHandle_ += 4;
  handles_.emplace(handle, std::move(info));
  return handle;
}

RegistryKey FakeSystem::OpenKeyHandle(std::string key, uint32_t access) {
  const RegistryKey handle = nextHandle_;
  nextHandle_ += 4;
  openKeys_[handle] = {std::move(key), access};
  return handle;
}

void FakeSystem::AddFolder(const std::string& path) {
  const std::string key = NormalizePath(path);
  if (key.empty() || IsDriveRoot(key)) return;
  AddFolder(ParentOf(key));
  nodes_[key].isFolder = true;
}

void FakeSystem::AddFile(const std::string& path, const std::string& content) {
  const std::string key = NormalizePath(path);
  AddFolder(ParentOf(key));
  nodes_[key] = {false, false, false,
                 std::make_shared<std::vector<uint8_t>>(content.begin(), content.end())};
}

void FakeSystem::AddProgram(const std::string& path, Program behaviour) {
  AddFile(path, "MZ");
  if (behaviour) programs_[NormalizePath(path)] = std::move(behaviour);
}

void FakeSystem::SetAttributes(const std::string& path, bool readOnly, bool hidden) {
  Node& node = nodes_.at(NormalizePath(path));
  node.readOnly = readOnly;
  node.hidden = hidden;
}

void FakeSystem::Remove(const std::string& path) {
  const std::string key = NormalizePath(path);
  std::erase_if(nodes_, [&](const auto& node) { return Within(node.first, key); });
}

std::optional<std::string> FakeSystem::FileContent(const std::string& path) const {
  const auto it = nodes_.find(NormalizePath(path));
  if (it == nodes_.end() || it->second.isFolder) return std::nullopt;
  return std::string(it->second.content->begin(), it->second.content->end());
}

bool FakeSystem::HasFolder(const std::string& path) const {
  const auto it = nodes_.find(NormalizePath(path));
  return it != nodes_.end() && it->second.isFolder;
}

void FakeSystem::AddRegistryKey(RegistryRoot root, const std::string& key) {
  const std::string path = RegistryPath(root, key);
  // Parents exist implicitly: every prefix becomes a key too.
  for (size_t slash = path.find('\\'); slash != std::string::npos;
       slash = path.find('\\', slash + 1)) {
    registry_[path.substr(0, slash)];
  }
  registry_[path];
}

void FakeSystem::PutRegistryValue(RegistryRoot root, const std::string& key,
                                  const std::string& name, uint32_t type,
                                  const std::string& bytes) {
  AddRegistryKey(root, key);
  registry_[RegistryPath(root, key)][Lower(name)] = {type, bytes};
}

void FakeSystem::PutRegistryDword(RegistryRoot root, const std::string& key,
                                  const std::string& name, uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
  PutRegistryValue(root, key, name, kRegDword, bytes);
}

void FakeSystem::RemoveRegistryValue(RegistryRoot root, const std::string& key,
                                     const std::string& name) {
  registry_[RegistryPath(root, key)].erase(Lower(name));
}

std::map<std::string, std::string> FakeSystem::Snapshot() const {
  std::map<std::string, std::string> state;
  for (const auto& [key, node] : nodes_) {
    if (node.isFolder) {
      state[key + "\\"] = "(folder)";
    } else {
      state[key] = std::string(node.content->begin(), node.content->end()) +
                   (node.readOnly ? " (read-only)" : "") + (node.hidden ? " (hidden)" : "");
    }
  }
  for (const auto& [path, values] : registry_) {
    state[path + "\\"] = "(key)";
    for (const auto& [name, value] : values) {
      state[path + " @" + name] = std::to_string(value.first) + ":" + value.second;
    }
  }
  return state;
}

size_t FakeSystem::OpenHandleCount() const {
  return handles_.size() + views_.size() + openKeys_.size();
}

Handle FakeSystem::OpenFileForReading(const char* path) {
  if (Fails("OpenFileForReading", Text(path))) return kNoHandle;
  const std::string key = NormalizePath(path);
  const auto it = nodes_.find(key);
  if (it == nodes_.end() || it->second.isFolder) return kNoHandle;
  for (const auto& [handle, info] : handles_) {
    if (info.key == key && info.writable) return kNoHandle;  // a writer shares only reading
  }
  return NewHandle({key, false, false, it->second.content});
}

Handle FakeSystem::CreateFileForWriting(const char* path) {
  if (Fails("CreateFileForWriting", Text(path))) return kNoHandle;
  const std::string key = NormalizePath(path);
  const auto it = nodes_.find(key);
  if (!ParentIsFolder(key) || InUse(key) ||
      (it != nodes_.end() && (it->second.isFolder || it->second.readOnly || it->second.hidden))) {
    return kNoHandle;
  }
  Node& node = nodes_[key];
  node.content = std::make_shared<std::vector<uint8_t>>();  // CREATE_ALWAYS truncates
  return NewHandle({key, true, false, node.content});
}

Handle FakeSystem::CreateNewFile(const char* path) {
  if (Fails("CreateNewFile", Text(path))) return kNoHandle;
  const std::string key = NormalizePath(path);
  if (nodes_.count(key) != 0 || !ParentIsFolder(key)) return kNoHandle;
  Node& node = nodes_[key];
  node.content = std::make_shared<std::vector<uint8_t>>();
  return NewHandle({key, true, false, node.content});
}

std::optional<uint32_t> FakeSystem::FileSize(Handle file) {
  if (Fails("FileSize")) return std::nullopt;
  const auto it = handles_.find(file);
  if (it == handles_.end() || it->second.mapping || it->second.key.empty()) return std::nullopt;
  const auto reported = reportedSizes.find(it->second.key);
  if (reported != reportedSizes.end()) return reported->second;
  return static_cast<uint32_t>(it->second.content->size());
}

Handle FakeSystem::CreateMapping(Handle file, MapAccess access, uint32_t size) {
  if (Fails("CreateMapping", std::to_string(size))) return kNoHandle;
  const auto it = handles_.find(file);
  const bool writable = access == MapAccess::kWrite;
  if (it == handles_.end() || it->second.mapping || it->second.key.empty() ||
      (writable && !it->second.writable)) {
    return kNoHandle;
  }
  const Bytes content = it->second.content;
  const uint32_t length = size != 0 ? size : static_cast<uint32_t>(content->size());
  if (length == 0) return kNoHandle;  // an empty file cannot be mapped
  if (content->size() < length) {
    if (!writable) return kNoHandle;
    content->resize(length, 0);  // the mapping gives the file its length
  }
  return NewHandle({it->second.key, writable, true, content});
}

uint8_t* FakeSystem::MapView(Handle mapping, MapAccess access) {
  if (Fails("MapView")) return nullptr;
  const auto it = handles_.find(mapping);
  if (it == handles_.end() || !it->second.mapping ||
      (access == MapAccess::kWrite && !it->second.writable)) {
    return nullptr;
  }
  uint8_t* view = it->second.content->data();
  views_[view] = it->second.key;  // keeps the file in use after its handles are closed
  return view;
}

bool FakeSystem::UnmapView(const uint8_t* view) {
  const bool fails = Fails("UnmapView");
  // A reported failure still releases the view, as Windows does.
  return views_.erase(view) != 0 && !fails;
}

bool FakeSystem::FillView(uint8_t* view, uint32_t size, ViewFill fill, void* context) {
  const bool fault = Fails("FillView", std::to_string(size));
  if (killed) return false;  // nothing is written by a dead process
  const bool produced = fill(context, view);
  if (!fault) return produced;
  std::memset(view + size / 2, 0, size - size / 2);
  return false;
}

bool FakeSystem::Close(Handle handle) {
  const bool fails = Fails("Close");
  return handles_.erase(handle) != 0 && !fails;
}

bool FakeSystem::CreateFolder(const char* path) {
  if (Fails("CreateFolder", Text(path))) return false;
  const std::string key = NormalizePath(path);
  if (nodes_.count(key) != 0 || !ParentIsFolder(key)) return false;
  nodes_[key].isFolder = true;
  return true;
}

bool FakeSystem::RemoveFolder(const char* path) {
  if (Fails("RemoveFolder", Text(path))) return false;
  const std::string key = NormalizePath(path);
  const auto it = nodes_.find(key);
  if (it == nodes_.end() || !it->second.isFolder) return false;
  const auto next = std::next(it);
  if (next != nodes_.end() && Within(next->first, key)) return false;  // not empty
  nodes_.erase(it);
  return true;
}

bool FakeSystem::MovePath(const char* from, const char* to) {
  if (Fails("MovePath", Text(from), Text(to))) return false;
  const std::string fromKey = NormalizePath(from);
  const std::string toKey = NormalizePath(to);
  if (nodes_.count(fromKey) == 0 || nodes_.count(toKey) != 0 || !ParentIsFolder(toKey) ||
      InUse(fromKey)) {
    return false;
  }
  std::map<std::string, Node> moved;
  std::erase_if(nodes_, [&](const auto& node) {
    if (!Within(node.first, fromKey)) return false;
    moved[toKey + node.first.substr(fromKey.size())] = node.second;
    return true;
  });
  nodes_.merge(moved);
  return true;
}

bool FakeSystem::DeletePath(const char* path) {
  if (Fails("DeletePath", Text(path))) return false;
  const std::string key = NormalizePath(path);
  const auto it = nodes_.find(key);
  if (it == nodes_.end() || it->second.isFolder || it->second.readOnly || InUse(key)) return false;
  nodes_.erase(it);
  return true;
}

bool FakeSystem::PathExists(const char* path) {
  if (Fails("PathExists", Text(path))) return false;
  const std::string key = NormalizePath(path);
  return IsDriveRoot(key) || nodes_.count(key) != 0;
}

bool FakeSystem::IsFolder(const char* path) {
  if (Fails("IsFolder", Text(path))) return false;
  const std::string key = NormalizePath(path);
  return IsDriveRoot(key) || HasFolder(key);
}

bool FakeSystem::OwnProgramPath(char* buffer, uint32_t capacity) {
  if (Fails("OwnProgramPath") || ownProgramPath.empty() || ownProgramPath.size() >= capacity) {
    return false;
  }
  std::memcpy(buffer, ownProgramPath.c_str(), ownProgramPath.size() + 1);
  return true;
}

bool FakeSystem::StartProcess(const char* application, char* commandLine, const char* currentFolder,
                              ProcessHandles* startedProcess) {
  if (Fails("StartProcess", Text(application), Text(commandLine))) return false;
  if (!FileContent(application) || !HasFolder(currentFolder)) return false;
  const ProcessStart start{application, commandLine, currentFolder};
  startedProcess->process = NewHandle({});
  startedProcess->thread = NewHandle({});
  if (logCalls) {
    processes_[startedProcess->process] = started.size();
    started.push_back(start);
  }
  const auto program = programs_.find(NormalizePath(application));
  if (program != programs_.end()) program->second(*this, start);
  return true;
}

void FakeSystem::WaitForProcess(Handle process) {
  if (Fails("WaitForProcess")) return;
  const auto it = processes_.find(process);
  if (it != processes_.end()) started[it->second].waited = true;
}

long FakeSystem::OpenRegistryKey(RegistryRoot root, const char* path, uint32_t access,
                                 RegistryKey* key) {
  std::string keyPath = RegistryPath(root, Text(path));
  if (Fails("OpenRegistryKey", keyPath)) return kErrorAccessDenied;
  const auto it = registry_.find(keyPath);
  if (it == registry_.end()) return kErrorFileNotFound;
  *key = OpenKeyHandle(std::move(keyPath), access);
  return kRegistrySuccess;
}

long FakeSystem::CreateRegistryKey(RegistryRoot root, const char* path, RegistryKey* key) {
  std::string keyPath = RegistryPath(root, Text(path));
  if (Fails("CreateRegistryKey", keyPath)) return kErrorAccessDenied;
  AddRegistryKey(root, keyPath.substr(4));
  *key = OpenKeyHandle(std::move(keyPath), kKeyWrite);
  return kRegistrySuccess;
}

long FakeSystem::QueryRegistryValue(RegistryKey key, const char* name, uint32_t* type,
                                    uint8_t* data, uint32_t* size) {
  if (Fails("QueryRegistryValue", Text(name))) return kErrorAccessDenied;
  const auto open = openKeys_.find(key);
  if (open == openKeys_.end()) return kErrorInvalidHandle;
  const RegistryValues& values = registry_[open->second.key];
  const auto it = values.find(Lower(Text(name)));
  if (it == values.end()) return kErrorFileNotFound;
  const std::string& bytes = it->second.second;
  *type = it->second.first;
  const bool fits = bytes.size() <= *size;
  *size = static_cast<uint32_t>(bytes.size());
  if (!fits) return kErrorMoreData;
  std::memcpy(data, bytes.data(), bytes.size());
  return kRegistrySuccess;
}

long FakeSystem::SetRegistryValue(RegistryKey key, const char* name, uint32_t type,
                                  const uint8_t* data, uint32_t size) {
  if (Fails("SetRegistryValue", Text(name))) return kErrorAccessDenied;
  const auto open = openKeys_.find(key);
  if (open == openKeys_.end()) return kErrorInvalidHandle;
  if ((open->second.access & kKeySetValue) == 0) return kErrorAccessDenied;
  registry_[open->second.key][Lower(Text(name))] = {
      type, std::string(reinterpret_cast<const char*>(data), size)};
  return kRegistrySuccess;
}

void FakeSystem::CloseRegistryKey(RegistryKey key) {
  Fails("CloseRegistryKey");
  openKeys_.erase(key);  // a key whose close reports failure is closed all the same
}

void FakeSystem::SetStatusText(const char* text) {
  if (!Fails("SetStatusText", Text(text))) statusTexts.push_back(text);
}

int FakeSystem::AskUser(const char* text, const char* caption, uint32_t style) {
  if (Fails("AskUser", Text(caption))) return 0;  // MessageBoxA gives 0 on failure
  messageBoxes.push_back(std::string(caption) + " | " + text + " | " + std::to_string(style));
  if (answers.empty()) return kIdOk;
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

void FakeSystem::ShowButton() {
  if (!Fails("ShowButton")) buttonShown = true;
}

void FakeSystem::SetButtonText(const char* text) {
  if (!Fails("SetButtonText", Text(text))) buttonText = text;
}

}  // namespace brx
