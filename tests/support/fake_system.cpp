#include "support/fake_system.h"

#include <algorithm>
#include <cstring>

namespace brx {
namespace {

std::string_view Text(const char* text) {
  return text != nullptr ? text : "(null)";
}

}  // namespace

std::string FakeSystem::NormalizePath(std::string_view path) {
  const std::optional<brxpack::WindowsPath> read = brxpack::ReadWindowsPath(path);
  return read ? read->key : std::string();
}

void FakeSystem::AddFolder(std::string_view path) {
  const std::optional<brxpack::WindowsPath> read = brxpack::ReadWindowsPath(path);
  for (size_t start = 0, end = 0; read && end != read->key.size(); start = end + 1) {
    end = std::min(read->key.find('\\', start), read->key.size());
    Node& node = nodes_[read->key.substr(0, end)];
    if (node.name.empty()) {
      node = {.name = read->spelled.substr(start, end - start), .isFolder = true};
    }
  }
}

void FakeSystem::AddFile(std::string_view path, std::string_view content) {
  const std::optional<brxpack::WindowsPath> read = brxpack::ReadWindowsPath(path);
  if (!read || read->lastName == 0) return;
  AddFolder(read->spelled.substr(0, read->lastName - 1));
  nodes_[read->key] = {
      .name = std::string(read->name()),
      .bytes = std::make_shared<std::vector<uint8_t>>(content.begin(), content.end())};
}

void FakeSystem::SetAttributes(std::string_view path, bool readOnly, bool hidden) {
  Node& node = nodes_.at(NormalizePath(path));
  node.readOnly = readOnly;
  node.hidden = hidden;
}

void FakeSystem::Remove(std::string_view path) {
  const std::string key = NormalizePath(path);
  std::erase_if(nodes_, [&](const auto& node) {
    return node.first == key || node.first.starts_with(key + '\\');
  });
}

std::optional<std::string> FakeSystem::FileContent(std::string_view path) const {
  const auto it = nodes_.find(NormalizePath(path));
  if (it == nodes_.end() || !it->second.bytes) return std::nullopt;
  return std::string(it->second.bytes->begin(), it->second.bytes->end());
}

std::vector<std::string> FakeSystem::StatusTexts() const {
  std::vector<std::string> texts;
  for (const SeamEvent& event : events()) {
    if (event.kind == SeamEvent::Kind::kStatus) texts.push_back(event.text);
  }
  return texts;
}

std::vector<std::string> FakeSystem::MessageBoxes() const {
  std::vector<std::string> boxes;
  for (const SeamEvent& event : events()) {
    if (event.kind != SeamEvent::Kind::kQuestion) continue;
    boxes.push_back(event.caption + " | " + event.text + " | " + std::to_string(event.style));
  }
  return boxes;
}

std::vector<SeamEvent> FakeSystem::Started() const {
  std::vector<SeamEvent> started;
  for (const SeamEvent& event : events()) {
    const bool command = event.kind == SeamEvent::Kind::kCommand;
    if (command && event.fate != brxpack::CommandFate::kNotStarted) started.push_back(event);
  }
  return started;
}

std::map<std::string, std::string> FakeSystem::Snapshot() const {
  std::map<std::string, std::string> state;
  for (const auto& [key, node] : nodes_) {
    if (node.isFolder) {
      state[key + "\\"] = "(folder)";
    } else {
      state[key] = std::string(node.bytes->begin(), node.bytes->end()) +
                   (node.readOnly ? " (read-only)" : "") + (node.hidden ? " (hidden)" : "");
    }
  }
  for (const auto& [path, values] : registry().keys()) {
    state[path + "\\"] = "(key)";
    for (const auto& [name, value] : values) {
      state[path + " @" + name] = std::to_string(value.type) + ":" + value.bytes;
    }
  }
  return state;
}

bool FakeSystem::Fails(std::string_view call, std::string_view detail, std::string_view more) {
  const int index = callCount++;
  auto count = callCounts.find(call);
  if (count == callCounts.end()) count = callCounts.emplace(std::string(call), 0).first;
  const uint64_t nth = count->second++;
  if (index == killAtCall) {
    killed = true;
    ReleaseAll();
  }
  const auto rule = failNthCall.find(call);
  if (log) {
    std::string line(call);
    if (!detail.empty()) line.append(" ").append(detail);
    if (!more.empty()) line.append(" | ").append(more);
    calls.push_back(std::move(line));
  }
  return killed || index == failCallIndex ||
         (rule != failNthCall.end() && static_cast<uint64_t>(rule->second) == nth);
}

Handle FakeSystem::OpenFileForReading(const char* path) {
  if (Fails("OpenFileForReading", Text(path))) return kNoHandle;
  return SimulatedWindows::OpenFileForReading(path);
}

Handle FakeSystem::CreateFileForWriting(const char* path) {
  if (Fails("CreateFileForWriting", Text(path))) return kNoHandle;
  return SimulatedWindows::CreateFileForWriting(path);
}

Handle FakeSystem::CreateNewFile(const char* path) {
  if (Fails("CreateNewFile", Text(path))) return kNoHandle;
  return SimulatedWindows::CreateNewFile(path);
}

std::optional<uint32_t> FakeSystem::FileSize(Handle file) {
  if (Fails("FileSize")) return std::nullopt;
  const std::optional<uint32_t> size = SimulatedWindows::FileSize(file);
  const auto reported = size ? reportedSizes.find(*FileOf(file)) : reportedSizes.end();
  return reported != reportedSizes.end() ? reported->second : size;
}

Handle FakeSystem::CreateMapping(Handle file, MapAccess access, uint32_t size) {
  if (Fails("CreateMapping", std::to_string(size))) return kNoHandle;
  return SimulatedWindows::CreateMapping(file, access, size);
}

uint8_t* FakeSystem::MapView(Handle mapping, MapAccess access) {
  if (Fails("MapView")) return nullptr;
  return SimulatedWindows::MapView(mapping, access);
}

bool FakeSystem::UnmapView(const uint8_t* view) {
  const bool fails = Fails("UnmapView");
  // A reported failure still releases the view, as Windows does.
  return SimulatedWindows::UnmapView(view) && !fails;
}

bool FakeSystem::FillView(uint8_t* view, uint32_t size, ViewFill fill, void* context) {
  const bool fault = Fails("FillView", std::to_string(size));
  if (killed) return false;  // nothing is written by a dead process
  const bool produced = SimulatedWindows::FillView(view, size, fill, context);
  if (!fault) return produced;
  std::memset(view + size / 2, 0, size - size / 2);
  return false;
}

bool FakeSystem::Close(Handle handle) {
  const bool fails = Fails("Close");
  return SimulatedWindows::Close(handle) && !fails;
}

bool FakeSystem::CreateFolder(const char* path) {
  return !Fails("CreateFolder", Text(path)) && SimulatedWindows::CreateFolder(path);
}

bool FakeSystem::RemoveFolder(const char* path) {
  return !Fails("RemoveFolder", Text(path)) && SimulatedWindows::RemoveFolder(path);
}

bool FakeSystem::MovePath(const char* from, const char* to) {
  return !Fails("MovePath", Text(from), Text(to)) && SimulatedWindows::MovePath(from, to);
}

bool FakeSystem::DeletePath(const char* path) {
  return !Fails("DeletePath", Text(path)) && SimulatedWindows::DeletePath(path);
}

bool FakeSystem::PathExists(const char* path) {
  return !Fails("PathExists", Text(path)) && SimulatedWindows::PathExists(path);
}

bool FakeSystem::IsFolder(const char* path) {
  return !Fails("IsFolder", Text(path)) && SimulatedWindows::IsFolder(path);
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
  return !Fails("StartProcess", Text(application), Text(commandLine)) &&
         SimulatedWindows::StartProcess(application, commandLine, currentFolder, startedProcess);
}

void FakeSystem::WaitForProcess(Handle process) {
  if (!Fails("WaitForProcess")) SimulatedWindows::WaitForProcess(process);
}

long FakeSystem::OpenRegistryKey(RegistryRoot root, const char* path, uint32_t access,
                                 RegistryKey* key) {
  if (Fails("OpenRegistryKey", Text(path))) return kErrorAccessDenied;
  return SimulatedWindows::OpenRegistryKey(root, path, access, key);
}

long FakeSystem::CreateRegistryKey(RegistryRoot root, const char* path, RegistryKey* key) {
  if (Fails("CreateRegistryKey", Text(path))) return kErrorAccessDenied;
  return SimulatedWindows::CreateRegistryKey(root, path, key);
}

long FakeSystem::QueryRegistryValue(RegistryKey key, const char* name, uint32_t* type,
                                    uint8_t* data, uint32_t* size) {
  if (Fails("QueryRegistryValue", Text(name))) return kErrorAccessDenied;
  return SimulatedWindows::QueryRegistryValue(key, name, type, data, size);
}

long FakeSystem::SetRegistryValue(RegistryKey key, const char* name, uint32_t type,
                                  const uint8_t* data, uint32_t size) {
  if (Fails("SetRegistryValue", Text(name))) return kErrorAccessDenied;
  return SimulatedWindows::SetRegistryValue(key, name, type, data, size);
}

void FakeSystem::CloseRegistryKey(RegistryKey key) {
  Fails("CloseRegistryKey");
  SimulatedWindows::CloseRegistryKey(key);  // closed all the same when the close reports failure
}

void FakeSystem::SetStatusText(const char* text) {
  if (!Fails("SetStatusText", Text(text))) SimulatedWindows::SetStatusText(text);
}

int FakeSystem::AskUser(const char* text, const char* caption, uint32_t style) {
  if (Fails("AskUser", Text(caption))) return 0;  // MessageBoxA gives 0 on failure
  answer = answers.empty() ? kIdOk : answers.front();
  if (!answers.empty() && (style & 0x0F) == kMbOkCancel) answers.pop_front();
  return SimulatedWindows::AskUser(text, caption, style);
}

void FakeSystem::ShowButton() {
  if (!Fails("ShowButton")) buttonShown = true;
}

void FakeSystem::SetButtonText(const char* text) {
  if (!Fails("SetButtonText", Text(text))) buttonText = text;
}

}  // namespace brx
