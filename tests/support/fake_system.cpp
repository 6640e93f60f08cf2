#include "support/fake_system.h"

#include <algorithm>
#include <cstring>

namespace brx {
namespace {

constexpr long kErrorFileNotFound = 2;
constexpr long kErrorAccessDenied = 5;
constexpr long kErrorInvalidHandle = 6;
constexpr long kErrorMoreData = 234;
constexpr uint32_t kKeyWriteBits = 0x0006;  // KEY_SET_VALUE | KEY_CREATE_SUB_KEY

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
  }
  return text;
}

bool IsDriveRoot(const std::string& key) {
  return key.size() == 2 && key[1] == ':' && key[0] >= 'a' && key[0] <= 'z';
}

std::string ParentOf(const std::string& key) {
  size_t slash = key.rfind('\\');
  return slash == std::string::npos ? std::string() : key.substr(0, slash);
}

std::string Show(const char* text) {
  return text ? text : "(null)";
}

}  // namespace

FakeSystem::FakeSystem() = default;
FakeSystem::~FakeSystem() = default;

std::string FakeSystem::NormalizePath(const std::string& path) {
  std::string key;
  for (char c : path) {
    if (c == '\\' && !key.empty() && key.back() == '\\') continue;
    key.push_back(c);
  }
  while (key.size() > 1 && key.back() == '\\') key.pop_back();
  return LowerAscii(key);
}

std::string FakeSystem::RegistryPath(RegistryRoot root, const std::string& key) {
  std::string path = root == RegistryRoot::kCurrentUser ? "hkcu" : "hklm";
  std::string normalized = NormalizePath(key);
  while (!normalized.empty() && normalized.front() == '\\') normalized.erase(0, 1);
  if (!normalized.empty()) path += "\\" + normalized;
  return path;
}

bool FakeSystem::InjectFault(const std::string& call, const std::string& detail) {
  int index = callCount++;
  int nth = callsByName_[call]++;
  auto rule = failNthCall.find(call);
  bool fail = index == failCallIndex || (rule != failNthCall.end() && rule->second == nth);
  calls.push_back(call + (detail.empty() ? "" : " " + detail) +
                  (fail ? " -> injected failure" : ""));
  return fail;
}

bool FakeSystem::ParentExists(const std::string& key) const {
  std::string parent = ParentOf(key);
  if (parent.empty()) return false;
  if (IsDriveRoot(parent)) return true;
  auto it = nodes_.find(parent);
  return it != nodes_.end() && it->second.isFolder;
}

bool FakeSystem::IsOpen(const std::string& key) const {
  for (const auto& [handle, info] : handles_) {
    if ((info.kind == HandleInfo::kFile || info.kind == HandleInfo::kMapping) && info.key == key) {
      return true;
    }
  }
  for (const auto& [view, mapping] : views_) {
    (void)view;
    auto it = handles_.find(mapping);
    if (it == handles_.end()) continue;
    if (it->second.key == key) return true;
  }
  return false;
}

Handle FakeSystem::NewHandle(HandleInfo info) {
  Handle handle = nextHandle_;
  nextHandle_ += 4;
  handles_.emplace(handle, std::move(info));
  return handle;
}

void FakeSystem::AddFolder(const std::string& path) {
  std::string key = NormalizePath(path);
  if (key.empty() || IsDriveRoot(key)) return;
  AddFolder(ParentOf(path.substr(0, path.find_last_not_of('\\') + 1)));
  Node& node = nodes_[key];
  node.isFolder = true;
  node.displayPath = path;
}

void FakeSystem::AddFile(const std::string& path, const std::string& content) {
  std::string key = NormalizePath(path);
  AddFolder(ParentOf(path));
  Node& node = nodes_[key];
  node.isFolder = false;
  node.displayPath = path;
  node.content = std::make_shared<std::vector<uint8_t>>(content.begin(), content.end());
}

void FakeSystem::SetReadOnly(const std::string& path, bool readOnly) {
  nodes_.at(NormalizePath(path)).readOnly = readOnly;
}

bool FakeSystem::HasFile(const std::string& path) const {
  auto it = nodes_.find(NormalizePath(path));
  return it != nodes_.end() && !it->second.isFolder;
}

bool FakeSystem::HasFolder(const std::string& path) const {
  auto it = nodes_.find(NormalizePath(path));
  return it != nodes_.end() && it->second.isFolder;
}

std::optional<std::string> FakeSystem::FileContent(const std::string& path) const {
  auto it = nodes_.find(NormalizePath(path));
  if (it == nodes_.end() || it->second.isFolder) return std::nullopt;
  return std::string(it->second.content->begin(), it->second.content->end());
}

std::map<std::string, std::string> FakeSystem::Snapshot() const {
  std::map<std::string, std::string> result;
  for (const auto& [key, node] : nodes_) {
    if (node.isFolder) {
      result[key + "\\"] = "";
    } else {
      result[key] = std::string(node.content->begin(), node.content->end());
    }
  }
  return result;
}

void FakeSystem::AddRegistryKey(RegistryRoot root, const std::string& key) {
  std::string path = RegistryPath(root, key);
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
  registry_[RegistryPath(root, key)].values[LowerAscii(name)] = {name, RegistryValue{type, bytes}};
}

void FakeSystem::PutRegistryText(RegistryRoot root, const std::string& key, const std::string& name,
                                 const std::string& text) {
  PutRegistryValue(root, key, name, kRegSz, text + std::string(1, '\0'));
}

void FakeSystem::PutRegistryDword(RegistryRoot root, const std::string& key,
                                  const std::string& name, uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  PutRegistryValue(root, key, name, kRegDword, bytes);
}

bool FakeSystem::HasRegistryKey(RegistryRoot root, const std::string& key) const {
  return registry_.count(RegistryPath(root, key)) != 0;
}

std::optional<FakeSystem::RegistryValue> FakeSystem::GetRegistryValue(
    RegistryRoot root, const std::string& key, const std::string& name) const {
  auto keyIt = registry_.find(RegistryPath(root, key));
  if (keyIt == registry_.end()) return std::nullopt;
  auto valueIt = keyIt->second.values.find(LowerAscii(name));
  if (valueIt == keyIt->second.values.end()) return std::nullopt;
  return valueIt->second.second;
}

void FakeSystem::DenyRegistryWrites(RegistryRoot root, const std::string& key) {
  AddRegistryKey(root, key);
  registry_[RegistryPath(root, key)].denyWrites = true;
}

void FakeSystem::AddProgram(const std::string& path, ProgramBehaviour behaviour) {
  AddFile(path, "MZ");
  if (behaviour) programs_[NormalizePath(path)] = std::move(behaviour);
}

Handle FakeSystem::OpenFileForReading(const char* path) {
  if (InjectFault("OpenFileForReading", Show(path))) return kNoHandle;
  std::string key = NormalizePath(path);
  auto it = nodes_.find(key);
  if (it == nodes_.end() || it->second.isFolder) return kNoHandle;
  for (const auto& [handle, info] : handles_) {
    (void)handle;
    if (info.key == key && info.writable) return kNoHandle;  // a writer shares only reading
  }
  return NewHandle({HandleInfo::kFile, key, false, it->second.content});
}

Handle FakeSystem::CreateFileForWriting(const char* path) {
  if (InjectFault("CreateFileForWriting", Show(path))) return kNoHandle;
  std::string key = NormalizePath(path);
  if (!ParentExists(key) || IsOpen(key)) return kNoHandle;
  auto it = nodes_.find(key);
  if (it != nodes_.end() && (it->second.isFolder || it->second.readOnly)) return kNoHandle;
  Node& node = nodes_[key];
  node.displayPath = path;
  node.content = std::make_shared<std::vector<uint8_t>>();  // CREATE_ALWAYS truncates
  return NewHandle({HandleInfo::kFile, key, true, node.content});
}

std::optional<uint32_t> FakeSystem::FileSize(Handle file) {
  if (InjectFault("FileSize", "")) return std::nullopt;
  auto it = handles_.find(file);
  if (it == handles_.end() || it->second.kind != HandleInfo::kFile) return std::nullopt;
  return static_cast<uint32_t>(it->second.content->size());
}

Handle FakeSystem::CreateMapping(Handle file, MapAccess access, uint32_t size) {
  if (InjectFault("CreateMapping", std::to_string(size))) return kNoHandle;
  auto it = handles_.find(file);
  if (it == handles_.end() || it->second.kind != HandleInfo::kFile) return kNoHandle;
  bool writable = access == MapAccess::kWrite;
  if (writable && !it->second.writable) return kNoHandle;
  auto content = it->second.content;
  uint32_t length = size != 0 ? size : static_cast<uint32_t>(content->size());
  if (length == 0) return kNoHandle;  // an empty file cannot be mapped
  if (content->size() < length) {
    if (!writable) return kNoHandle;
    content->resize(length, 0);  // the mapping gives the file its length
  }
  return NewHandle({HandleInfo::kMapping, it->second.key, writable, content});
}

uint8_t* FakeSystem::MapView(Handle mapping, MapAccess access) {
  if (InjectFault("MapView", "")) return nullptr;
  auto it = handles_.find(mapping);
  if (it == handles_.end() || it->second.kind != HandleInfo::kMapping) return nullptr;
  if (access == MapAccess::kWrite && !it->second.writable) return nullptr;
  uint8_t* view = it->second.content->data();
  // A view keeps its file in use even after the handles are closed; remember it
  // by a copy of the mapping's record under its own handle.
  Handle keeper = NewHandle({HandleInfo::kMapping, it->second.key, false, it->second.content});
  views_[view] = keeper;
  return view;
}

bool FakeSystem::UnmapView(const uint8_t* view) {
  bool fail = InjectFault("UnmapView", "");
  auto it = views_.find(view);
  if (it == views_.end()) return false;
  handles_.erase(it->second);
  views_.erase(it);
  return !fail;  // a reported failure still releases the view, as Windows does
}

bool FakeSystem::FillView(uint8_t* view, uint32_t size, ViewFill fill, void* context) {
  const bool fault = InjectFault("FillView", std::to_string(size));
  const bool produced = fill(context, view);
  if (!fault) return produced;
  std::memset(view + size / 2, 0, size - size / 2);
  return false;
}

bool FakeSystem::Close(Handle handle) {
  bool fail = InjectFault("Close", "");
  auto it = handles_.find(handle);
  if (it == handles_.end()) return false;
  handles_.erase(it);
  return !fail;
}

bool FakeSystem::CreateFolder(const char* path) {
  if (InjectFault("CreateFolder", Show(path))) return false;
  std::string key = NormalizePath(path);
  if (nodes_.count(key) || !ParentExists(key)) return false;
  Node& node = nodes_[key];
  node.isFolder = true;
  node.displayPath = path;
  return true;
}

bool FakeSystem::RemoveFolder(const char* path) {
  if (InjectFault("RemoveFolder", Show(path))) return false;
  std::string key = NormalizePath(path);
  auto it = nodes_.find(key);
  if (it == nodes_.end() || !it->second.isFolder) return false;
  auto next = std::next(it);
  if (next != nodes_.end() && next->first.compare(0, key.size() + 1, key + "\\") == 0) {
    return false;  // not empty
  }
  nodes_.erase(it);
  return true;
}

bool FakeSystem::MovePath(const char* from, const char* to) {
  if (InjectFault("MovePath", Show(from) + " | " + Show(to))) return false;
  std::string fromKey = NormalizePath(from);
  std::string toKey = NormalizePath(to);
  auto it = nodes_.find(fromKey);
  if (it == nodes_.end() || nodes_.count(toKey) || !ParentExists(toKey) || IsOpen(fromKey)) {
    return false;
  }
  std::vector<std::pair<std::string, Node>> moved;
  for (auto node = nodes_.begin(); node != nodes_.end();) {
    const std::string& key = node->first;
    if (key == fromKey || key.compare(0, fromKey.size() + 1, fromKey + "\\") == 0) {
      moved.emplace_back(toKey + key.substr(fromKey.size()), node->second);
      node = nodes_.erase(node);
    } else {
      ++node;
    }
  }
  for (auto& [key, node] : moved) {
    if (key == toKey) node.displayPath = to;
    nodes_[key] = node;
  }
  return true;
}

bool FakeSystem::DeletePath(const char* path) {
  if (InjectFault("DeletePath", Show(path))) return false;
  std::string key = NormalizePath(path);
  auto it = nodes_.find(key);
  if (it == nodes_.end() || it->second.isFolder || it->second.readOnly || IsOpen(key)) {
    return false;
  }
  nodes_.erase(it);
  return true;
}

bool FakeSystem::PathExists(const char* path) {
  if (InjectFault("PathExists", Show(path))) return false;
  std::string key = NormalizePath(path);
  return IsDriveRoot(key) || nodes_.count(key) != 0;
}

bool FakeSystem::IsFolder(const char* path) {
  if (InjectFault("IsFolder", Show(path))) return false;
  std::string key = NormalizePath(path);
  auto it = nodes_.find(key);
  return IsDriveRoot(key) || (it != nodes_.end() && it->second.isFolder);
}

bool FakeSystem::StartProcess(const char* application, char* commandLine, const char* currentFolder,
                              ProcessHandles* startedProcess) {
  if (InjectFault("StartProcess",
                  Show(application) + " | " + Show(commandLine) + " | " + Show(currentFolder))) {
    return false;
  }
  if (!HasFile(application) || !HasFolder(currentFolder)) return false;
  ProcessStart start{application, commandLine ? commandLine : "", currentFolder};
  started.push_back(start);
  startedProcess->process = NewHandle({HandleInfo::kProcess, "", false, nullptr});
  startedProcess->thread = NewHandle({HandleInfo::kThread, "", false, nullptr});
  auto program = programs_.find(NormalizePath(application));
  if (program != programs_.end()) program->second(*this, start);
  return true;
}

void FakeSystem::WaitForProcess(Handle process) {
  InjectFault("WaitForProcess", std::to_string(process));
}

long FakeSystem::OpenRegistryKey(RegistryRoot root, const char* path, uint32_t access,
                                 RegistryKey* key) {
  registryOpenAccesses.push_back(access);
  if (InjectFault("OpenRegistryKey", RegistryPath(root, Show(path)))) return kErrorAccessDenied;
  std::string keyPath = RegistryPath(root, Show(path));
  auto it = registry_.find(keyPath);
  bool isRoot = keyPath == "hkcu" || keyPath == "hklm";
  if (it == registry_.end() && !isRoot) return kErrorFileNotFound;
  if ((access & kKeyWriteBits) && it != registry_.end() && it->second.denyWrites) {
    return kErrorAccessDenied;
  }
  *key = nextHandle_;
  nextHandle_ += 4;
  openKeys_[*key] = {keyPath, access};
  return kRegistrySuccess;
}

long FakeSystem::CreateRegistryKey(RegistryRoot root, const char* path, RegistryKey* key) {
  std::string keyPath = RegistryPath(root, Show(path));
  if (InjectFault("CreateRegistryKey", keyPath)) return kErrorAccessDenied;
  for (size_t slash = 0; slash != std::string::npos;) {
    slash = keyPath.find('\\', slash + 1);
    auto it = registry_.find(keyPath.substr(0, slash));
    if (it != registry_.end() && it->second.denyWrites) return kErrorAccessDenied;
  }
  AddRegistryKey(root, keyPath.size() > 4 ? keyPath.substr(5) : "");
  *key = nextHandle_;
  nextHandle_ += 4;
  openKeys_[*key] = {keyPath, kKeyWrite};
  return kRegistrySuccess;
}

long FakeSystem::QueryRegistryValue(RegistryKey key, const char* name, uint32_t* type,
                                    uint8_t* data, uint32_t* size) {
  if (InjectFault("QueryRegistryValue", Show(name))) return kErrorAccessDenied;
  auto open = openKeys_.find(key);
  if (open == openKeys_.end()) return kErrorInvalidHandle;
  auto& values = registry_[open->second.key].values;
  auto it = values.find(LowerAscii(Show(name)));
  if (it == values.end()) return kErrorFileNotFound;
  const RegistryValue& value = it->second.second;
  uint32_t needed = static_cast<uint32_t>(value.bytes.size());
  if (type) *type = value.type;
  if (data == nullptr || *size < needed) {
    *size = needed;
    return data == nullptr ? kRegistrySuccess : kErrorMoreData;
  }
  std::memcpy(data, value.bytes.data(), needed);
  *size = needed;
  return kRegistrySuccess;
}

long FakeSystem::SetRegistryValue(RegistryKey key, const char* name, uint32_t type,
                                  const uint8_t* data, uint32_t size) {
  if (InjectFault("SetRegistryValue", Show(name))) return kErrorAccessDenied;
  auto open = openKeys_.find(key);
  if (open == openKeys_.end()) return kErrorInvalidHandle;
  if (!(open->second.access & 0x0002)) return kErrorAccessDenied;  // KEY_SET_VALUE
  RegistryKeyNode& node = registry_[open->second.key];
  if (node.denyWrites) return kErrorAccessDenied;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  node.values[LowerAscii(Show(name))] = {Show(name), RegistryValue{type, bytes}};
  return kRegistrySuccess;
}

void FakeSystem::CloseRegistryKey(RegistryKey key) {
  InjectFault("CloseRegistryKey", "");
  openKeys_.erase(key);
}

void FakeSystem::SetStatusText(const char* text) {
  if (InjectFault("SetStatusText", Show(text))) return;
  statusText = text;
  statusTexts.push_back(text);
}

int FakeSystem::AskUser(const char* text, const char* caption, uint32_t style) {
  if (InjectFault("AskUser", Show(caption))) return 0;  // MessageBoxA gives 0 on failure
  messageBoxes.push_back({text, caption, style});
  if (answers.empty()) return kIdOk;
  int answer = answers.front();
  answers.pop_front();
  return answer;
}

void FakeSystem::ShowButton() {
  if (InjectFault("ShowButton", "")) return;
  buttonShown = true;
}

void FakeSystem::SetButtonText(const char* text) {
  if (InjectFault("SetButtonText", Show(text))) return;
  buttonText = text;
}

}  // namespace brx
