#include "support/counting_system.h"

#include <cstring>

namespace brx::test {
namespace {

// Handles no FakeSystem hands out (its own are multiples of 4 from 0x100).
constexpr Handle kProcess = 0x7FFF0001;
constexpr Handle kThread = 0x7FFF0002;
constexpr RegistryKey kTableKey = 0x7FFF0003;

bool EndsWith(const char* text, const char* end) {
  const size_t length = std::strlen(text);
  const size_t endLength = std::strlen(end);
  return length >= endLength && std::strcmp(text + length - endLength, end) == 0;
}

}  // namespace

void CountingSystem::Tally::Add(const char* argument) {
  if (count++ == 0) first = argument;
  last = argument;
}

bool CountingSystem::CreateFolder(const char* path) {
  folders.Add(path);
  return true;
}

bool CountingSystem::DeletePath(const char* path) {
  deletes.Add(path);
  return false;
}

bool CountingSystem::RemoveFolder(const char* path) {
  folderRemovals.Add(path);
  return false;
}

bool CountingSystem::StartProcess(const char* application, char*, const char*,
                                  ProcessHandles* startedProcess) {
  const bool fails = starts.count == failingStart;
  starts.Add(application);
  if (fails) return false;
  startedProcess->process = kProcess;
  startedProcess->thread = kThread;
  return true;
}

void CountingSystem::WaitForProcess(Handle) {
  ++waits;
}

bool CountingSystem::Close(Handle handle) {
  if (handle != kProcess && handle != kThread) return FakeSystem::Close(handle);
  ++processCloses;
  return true;
}

bool CountingSystem::PathExists(const char* path) {
  if (!EndsWith(path, "brx_patch_apply_err.txt")) return FakeSystem::PathExists(path);
  ++errorFileChecks;
  return false;
}

long CountingSystem::CreateRegistryKey(RegistryRoot, const char* path, RegistryKey* key) {
  registryKeys.Add(path);
  *key = kTableKey;
  return kRegistrySuccess;
}

long CountingSystem::SetRegistryValue(RegistryKey key, const char* name, uint32_t type,
                                      const uint8_t* data, uint32_t size) {
  if (key != kTableKey) return FakeSystem::SetRegistryValue(key, name, type, data, size);
  ++tableValues;
  return kRegistrySuccess;
}

void CountingSystem::CloseRegistryKey(RegistryKey key) {
  if (key != kTableKey) return FakeSystem::CloseRegistryKey(key);
  ++tableKeyCloses;
}

}  // namespace brx::test
