#pragma once
// The registry of the simulated Windows: keys and value names compare with
// the letters A to Z folded and separators tidied, keys are opened with an
// access mask that each query and write must hold, and a value too long for
// the caller's buffer gives ERROR_MORE_DATA. The writes a run makes are
// kept, in order, so that they can be listed afterwards.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "system/system.h"

namespace brxpack {

struct RegistryWrite {
  brx::RegistryRoot root;
  std::string key;   // as the installer named it
  std::string name;  // empty with keyCreated
  uint32_t type = 0;
  std::string data;
  bool keyCreated = false;  // a key that did not exist before the write
};

class SimulatedRegistry {
 public:
  struct Value {
    uint32_t type = 0;
    std::string bytes;
  };
  using Values = std::map<std::string, Value>;  // by folded name

  // Set-up before a run (not listed among the writes); parent keys are made as needed.
  void AddKey(brx::RegistryRoot root, std::string_view key);
  void Put(brx::RegistryRoot root, std::string_view key, std::string_view name, uint32_t type,
           const std::string& bytes);
  void Erase(brx::RegistryRoot root, std::string_view key, std::string_view name);

  // The calls; `log` false keeps no list of the writes.
  long Open(brx::RegistryRoot root, const char* path, uint32_t access, brx::RegistryKey* key);
  long Create(brx::RegistryRoot root, const char* path, brx::RegistryKey* key, bool log);
  long Query(brx::RegistryKey key, const char* name, uint32_t* type, uint8_t* data, uint32_t* size);
  long Set(brx::RegistryKey key, const char* name, uint32_t type, const uint8_t* data,
           uint32_t size, bool log);
  void Close(brx::RegistryKey key);
  void CloseAll() { open_.clear(); }

  const std::vector<RegistryWrite>& writes() const { return writes_; }
  size_t openKeys() const { return open_.size(); }
  // "hklm\software\x", folded, with its values.
  const std::map<std::string, Values>& keys() const { return keys_; }

 private:
  struct OpenKey {
    std::string folded;
    brx::RegistryRoot root;
    std::string shown;  // the path as the installer gave it
    uint32_t access = 0;
  };
  static std::string FoldedKey(brx::RegistryRoot root, std::string_view path);
  // Makes the key and its parents; true when the key itself is new.
  bool MakeKey(const std::string& folded);
  brx::RegistryKey NewHandle(OpenKey key);

  std::map<std::string, Values> keys_;
  std::map<brx::RegistryKey, OpenKey> open_;
  std::vector<RegistryWrite> writes_;
  brx::RegistryKey next_ = 0x1000;
};

}  // namespace brxpack
