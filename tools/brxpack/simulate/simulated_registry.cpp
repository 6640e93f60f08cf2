#include "brxpack/simulate/simulated_registry.h"

#include <cstring>

#include "brxpack/contents/windows1251.h"
#include "brxpack/simulate/simulated_paths.h"

namespace brxpack {

std::string SimulatedRegistry::FoldedKey(brx::RegistryRoot root, std::string_view path) {
  std::string key = root == brx::RegistryRoot::kCurrentUser ? "hkcu" : "hklm";
  char previous = '\\';  // a name begins after a separator, or at the start
  for (const char c : FoldedName(path)) {
    if (c != '\\' && previous == '\\') key.push_back('\\');
    if (c != '\\') key.push_back(c);
    previous = c;
  }
  return key;
}

bool SimulatedRegistry::MakeKey(const std::string& folded) {
  for (size_t slash = folded.find('\\'); slash != std::string::npos;
       slash = folded.find('\\', slash + 1)) {
    keys_[folded.substr(0, slash)];
  }
  return keys_.try_emplace(folded).second;
}

brx::RegistryKey SimulatedRegistry::NewHandle(OpenKey key) {
  const brx::RegistryKey handle = next_;
  next_ += 4;
  open_.emplace(handle, std::move(key));
  return handle;
}

void SimulatedRegistry::AddKey(brx::RegistryRoot root, std::string_view key) {
  MakeKey(FoldedKey(root, key));
}

void SimulatedRegistry::Put(brx::RegistryRoot root, std::string_view key, std::string_view name,
                            uint32_t type, const std::string& bytes) {
  const std::string folded = FoldedKey(root, key);
  MakeKey(folded);
  keys_[folded][FoldedName(name)] = {type, bytes};
}

void SimulatedRegistry::Erase(brx::RegistryRoot root, std::string_view key, std::string_view name) {
  const auto it = keys_.find(FoldedKey(root, key));
  if (it != keys_.end()) it->second.erase(FoldedName(name));
}

long SimulatedRegistry::Open(brx::RegistryRoot root, const char* path, uint32_t access,
                             brx::RegistryKey* key) {
  const std::string shown(TextOrEmpty(path));
  std::string folded = FoldedKey(root, shown);
  if (keys_.count(folded) == 0) return brx::kErrorFileNotFound;
  *key = NewHandle({std::move(folded), root, shown, access});
  return brx::kRegistrySuccess;
}

long SimulatedRegistry::Create(brx::RegistryRoot root, const char* path, brx::RegistryKey* key,
                               bool log) {
  const std::string shown(TextOrEmpty(path));
  std::string folded = FoldedKey(root, shown);
  if (MakeKey(folded) && log) writes_.push_back({root, shown, "", 0, "", true});
  *key = NewHandle({std::move(folded), root, shown, brx::kKeyWrite});
  return brx::kRegistrySuccess;
}

long SimulatedRegistry::Query(brx::RegistryKey key, const char* name, uint32_t* type, uint8_t* data,
                              uint32_t* size) {
  const auto open = open_.find(key);
  if (open == open_.end()) return brx::kErrorInvalidHandle;
  if ((open->second.access & brx::kKeyQueryValue) == 0) return brx::kErrorAccessDenied;
  const Values& values = keys_[open->second.folded];
  const auto it = values.find(FoldedName(TextOrEmpty(name)));
  if (it == values.end()) return brx::kErrorFileNotFound;
  const std::string& bytes = it->second.bytes;
  *type = it->second.type;
  const bool fits = bytes.size() <= *size;
  *size = static_cast<uint32_t>(bytes.size());
  if (!fits) return brx::kErrorMoreData;
  std::memcpy(data, bytes.data(), bytes.size());
  return brx::kRegistrySuccess;
}

long SimulatedRegistry::Set(brx::RegistryKey key, const char* name, uint32_t type,
                            const uint8_t* data, uint32_t size, bool log) {
  const auto open = open_.find(key);
  if (open == open_.end()) return brx::kErrorInvalidHandle;
  if ((open->second.access & brx::kKeySetValue) == 0) return brx::kErrorAccessDenied;
  const std::string valueName(TextOrEmpty(name));
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (log) writes_.push_back({open->second.root, open->second.shown, valueName, type, bytes});
  keys_[open->second.folded][FoldedName(valueName)] = {type, std::move(bytes)};
  return brx::kRegistrySuccess;
}

void SimulatedRegistry::Close(brx::RegistryKey key) {
  open_.erase(key);
}

}  // namespace brxpack
