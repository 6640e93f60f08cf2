#pragma once
// A registry in memory for a simulated installation: keys and value names
// compare as Windows compares them (here: the letters A to Z folded), keys
// are opened with an access mask that a write must hold, a value too long
// for the caller's buffer gives ERROR_MORE_DATA. Every write the run makes is
// kept, in order, so that it can be listed afterwards.
#include <cstdint>
#include <map>
#include <string>
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

class HostRegistry {
 public:
  // Sets a value before the run (not listed among the writes); parent keys
  // are made as needed.
  void Put(brx::RegistryRoot root, const std::string& key, const std::string& name, uint32_t type,
           const std::string& bytes);

  long Open(brx::RegistryRoot root, const char* path, uint32_t access, brx::RegistryKey* key);
  long Create(brx::RegistryRoot root, const char* path, brx::RegistryKey* key);
  long Query(brx::RegistryKey key, const char* name, uint32_t* type, uint8_t* data, uint32_t* size);
  long Set(brx::RegistryKey key, const char* name, uint32_t type, const uint8_t* data,
           uint32_t size);
  void Close(brx::RegistryKey key);

  const std::vector<RegistryWrite>& writes() const { return writes_; }
  size_t openKeys() const { return open_.size(); }

 private:
  struct Value {
    uint32_t type = 0;
    std::string bytes;
  };
  struct OpenKey {
    std::string folded;
    brx::RegistryRoot root;
    std::string shown;  // the path as the installer gave it
    uint32_t access = 0;
  };
  // "hklm\software\x": the root and the path with A to Z folded, separators tidied.
  static std::string FoldedKey(brx::RegistryRoot root, const char* path);
  // Makes the key and its parents; true when the key itself is new.
  bool MakeKey(const std::string& folded);
  brx::RegistryKey NewHandle(OpenKey key);

  std::map<std::string, std::map<std::string, Value>> keys_;  // folded key -> folded name -> value
  std::map<brx::RegistryKey, OpenKey> open_;
  std::vector<RegistryWrite> writes_;
  brx::RegistryKey next_ = 0x1000;
};

}  // namespace brxpack
