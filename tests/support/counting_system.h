#pragma once
// A FakeSystem for sections of a million items: the calls such a list makes
// (folders, removals, commands, registry table writes) are counted, with the
// first and last argument kept, instead of being logged and performed, so
// the test measures the installer rather than the fake. Every other call
// (the package, discovery, the files, completion) goes to FakeSystem as
// usual. Deletes and folder removals are counted, not performed, so it is
// meant for packages whose files replace nothing and need no sub-folder.
#include <cstdint>
#include <string>

#include "support/fake_system.h"

namespace brx::test {

class CountingSystem : public FakeSystem {
 public:
  struct Tally {
    uint64_t count = 0;
    std::string first;
    std::string last;
    void Add(const char* argument);
  };

  Tally folders;         // CreateFolder
  Tally deletes;         // DeletePath
  Tally folderRemovals;  // RemoveFolder
  Tally starts;          // StartProcess, by program
  uint64_t waits = 0;
  uint64_t processCloses = 0;
  uint64_t errorFileChecks = 0;
  Tally registryKeys;  // CreateRegistryKey
  uint64_t tableValues = 0;
  uint64_t tableKeyCloses = 0;
  // The start with this number (0-based) fails; no other does.
  uint64_t failingStart = UINT64_MAX;

  bool CreateFolder(const char* path) override;
  bool DeletePath(const char* path) override;
  bool RemoveFolder(const char* path) override;
  bool StartProcess(const char* application, char* commandLine, const char* currentFolder,
                    ProcessHandles* startedProcess) override;
  void WaitForProcess(Handle process) override;
  bool Close(Handle handle) override;
  bool PathExists(const char* path) override;
  long CreateRegistryKey(RegistryRoot root, const char* path, RegistryKey* key) override;
  long SetRegistryValue(RegistryKey key, const char* name, uint32_t type, const uint8_t* data,
                        uint32_t size) override;
  void CloseRegistryKey(RegistryKey key) override;
};

}  // namespace brx::test
