#include "brxpack/simulate/host_registry.h"

#include <cstring>

#include "package/entry_names.h"

namespace brxpack {

namespace {

std::string Folded(const char* text) {
  std::string folded = text != nullptr ? text : "";
  for (char& c : folded) c = brx::FoldLatin(c);
  return folded;
}

}  // namespace

std::string HostRegistry::FoldedKey(brx::RegistryRoot root, const char* path) {
  std::string key = root == brx::RegistryRoot::kCurrentUser ? "hkcu" : "hklm";
  bool separate = true;
  for (char c : Folded(path)) {
    if (c == '\\') {
      separate = true;
      continue;
    }
    if (separate) key.push_back('\\');
    separate = false;
    key.push_back(c);
  }
  return key;
}

bool HostRegistry::MakeKey(const std::string& folded) {
  for (size_t slash = folded.find('\\'); slash != std::string::npos;
       slash = folded.find('\\', slash + 1)) {
    keys_[folded.substr(0, slash)];
  }
  return keys_.try_emplace(folded).second;
}

brx::RegistryKey HostRegistry::NewHandle(OpenKey key) {
  const brx::RegistryKey handle = next_;
  next_ += 4;
  open_.emplace(handle, std::move(key));
  return handle;
}

void HostRegistry::Put(brx::RegistryRoot root, const std::string& key, const std::string& name,
                       uint32_t type, const std::string& bytes) {
  const std::string folded = FoldedKey(root, key.c_str());
  MakeKey(folded);
  keys_[folded][Folded(name.c_str())] = {type, bytes};
}

long HostRegistry::Open(brx::RegistryRoot root, const char* path, uint32_t access,
                        brx::RegistryKey* key) {
  std::string folded = FoldedKey(root, path);
  if (keys_.count(folded) == 0) return brx::kErrorFileNotFound;
  *key = NewHandle({std::move(folded), root, path != nullptr ? path : "", access});
  return brx::kRegistrySuccess;
}

long HostRegistry::Create(brx::RegistryRoot root, const char* path, brx::RegistryKey* key) {
  std::string folded = FoldedKey(root, path);
  const std::string shown = path != nullptr ? path : "";
  if (MakeKey(folded)) writes_.push_back({root, shown, "", 0, "", true});
  *key = NewHandle({std::move(folded), root, shown, brx::kKeyWrite});
  return brx::kRegistrySuccess;
}

long HostRegistry::Query(brx::RegistryKey key, const char* name, uint32_t* type, uint8_t* data,
                         uint32_t* size) {
  const auto open = open_.find(key);
  if (open == open_.end()) return brx::kErrorInvalidHandle;
  const auto& values = keys_[open->second.folded];
  const auto it = values.find(Folded(name));
  if (it == values.end()) return brx::kErrorFileNotFound;
  const std::string& bytes = it->second.bytes;
  *type = it->second.type;
  const bool fits = bytes.size() <= *size;
  *size = static_cast<uint32_t>(bytes.size());
  if (!fits) return brx::kErrorMoreData;
  std::memcpy(data, bytes.data(), bytes.size());
  return brx::kRegistrySuccess;
}

long HostRegistry::Set(brx::RegistryKey key, const char* name, uint32_t type, const uint8_t* data,
                       uint32_t size) {
  const auto open = open_.find(key);
  if (open == open_.end()) return brx::kErrorInvalidHandle;
  if ((open->second.access & brx::kKeySetValue) == 0) return brx::kErrorAccessDenied;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  keys_[open->second.folded][Folded(name)] = {type, bytes};
  writes_.push_back(
      {open->second.root, open->second.shown, name != nullptr ? name : "", type, bytes, false});
  return brx::kRegistrySuccess;
}

void HostRegistry::Close(brx::RegistryKey key) {
  open_.erase(key);
}

}  // namespace brxpack
