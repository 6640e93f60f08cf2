#include "support/crashing_system.h"

namespace brx {

namespace {
constexpr long kErrorAccessDenied = 5;
}  // namespace

bool CrashingSystem::Alive() {
  if (crashed_) return false;
  if (calls_++ != crashAt_) return true;
  crashed_ = true;
  for (const uint8_t* view : views_) system_.UnmapView(view);
  for (Handle handle : handles_) system_.Close(handle);
  for (RegistryKey key : keys_) system_.CloseRegistryKey(key);
  views_.clear();
  handles_.clear();
  keys_.clear();
  return false;
}

Handle CrashingSystem::Held(Handle handle) {
  if (handle != kNoHandle) handles_.insert(handle);
  return handle;
}

Handle CrashingSystem::OpenFileForReading(const char* path) {
  return Alive() ? Held(system_.OpenFileForReading(path)) : kNoHandle;
}

Handle CrashingSystem::CreateFileForWriting(const char* path) {
  return Alive() ? Held(system_.CreateFileForWriting(path)) : kNoHandle;
}

std::optional<uint32_t> CrashingSystem::FileSize(Handle file) {
  if (!Alive()) return std::nullopt;
  return system_.FileSize(file);
}

Handle CrashingSystem::CreateMapping(Handle file, MapAccess access, uint32_t size) {
  return Alive() ? Held(system_.CreateMapping(file, access, size)) : kNoHandle;
}

uint8_t* CrashingSystem::MapView(Handle mapping, MapAccess access) {
  if (!Alive()) return nullptr;
  uint8_t* view = system_.MapView(mapping, access);
  if (view != nullptr) views_.insert(view);
  return view;
}

bool CrashingSystem::UnmapView(const uint8_t* view) {
  if (!Alive()) return false;
  views_.erase(view);
  return system_.UnmapView(view);
}

// A program killed before it writes the view leaves the file at its mapped
// length with nothing written.
bool CrashingSystem::FillView(uint8_t* view, uint32_t size, ViewFill fill, void* context) {
  return Alive() && system_.FillView(view, size, fill, context);
}

bool CrashingSystem::Close(Handle handle) {
  if (!Alive()) return false;
  handles_.erase(handle);
  return system_.Close(handle);
}

bool CrashingSystem::CreateFolder(const char* path) {
  return Alive() && system_.CreateFolder(path);
}

bool CrashingSystem::RemoveFolder(const char* path) {
  return Alive() && system_.RemoveFolder(path);
}

bool CrashingSystem::MovePath(const char* from, const char* to) {
  return Alive() && system_.MovePath(from, to);
}

bool CrashingSystem::DeletePath(const char* path) {
  return Alive() && system_.DeletePath(path);
}

bool CrashingSystem::PathExists(const char* path) {
  return Alive() && system_.PathExists(path);
}

bool CrashingSystem::IsFolder(const char* path) {
  return Alive() && system_.IsFolder(path);
}

bool CrashingSystem::StartProcess(const char* application, char* commandLine,
                                  const char* currentFolder, ProcessHandles* started) {
  if (!Alive() || !system_.StartProcess(application, commandLine, currentFolder, started)) {
    return false;
  }
  Held(started->process);
  Held(started->thread);
  return true;
}

void CrashingSystem::WaitForProcess(Handle process) {
  if (Alive()) system_.WaitForProcess(process);
}

long CrashingSystem::OpenRegistryKey(RegistryRoot root, const char* path, uint32_t access,
                                     RegistryKey* key) {
  if (!Alive()) return kErrorAccessDenied;
  const long result = system_.OpenRegistryKey(root, path, access, key);
  if (result == kRegistrySuccess) keys_.insert(*key);
  return result;
}

long CrashingSystem::CreateRegistryKey(RegistryRoot root, const char* path, RegistryKey* key) {
  if (!Alive()) return kErrorAccessDenied;
  const long result = system_.CreateRegistryKey(root, path, key);
  if (result == kRegistrySuccess) keys_.insert(*key);
  return result;
}

long CrashingSystem::QueryRegistryValue(RegistryKey key, const char* name, uint32_t* type,
                                        uint8_t* data, uint32_t* size) {
  if (!Alive()) return kErrorAccessDenied;
  return system_.QueryRegistryValue(key, name, type, data, size);
}

long CrashingSystem::SetRegistryValue(RegistryKey key, const char* name, uint32_t type,
                                      const uint8_t* data, uint32_t size) {
  if (!Alive()) return kErrorAccessDenied;
  return system_.SetRegistryValue(key, name, type, data, size);
}

void CrashingSystem::CloseRegistryKey(RegistryKey key) {
  if (!Alive()) return;
  keys_.erase(key);
  system_.CloseRegistryKey(key);
}

void CrashingSystem::SetStatusText(const char* text) {
  if (Alive()) system_.SetStatusText(text);
}

// A dead program answers nothing; Cancel ends what is left of its run soonest.
int CrashingSystem::AskUser(const char* text, const char* caption, uint32_t style) {
  return Alive() ? system_.AskUser(text, caption, style) : kIdCancel;
}

void CrashingSystem::ShowButton() {
  if (Alive()) system_.ShowButton();
}

void CrashingSystem::SetButtonText(const char* text) {
  if (Alive()) system_.SetButtonText(text);
}

}  // namespace brx
