#include "brxpack/simulate/host_system.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <system_error>

#include "brxpack/contents/windows_path_limits.h"
#include "brxpack/host/host_file_io.h"
#include "brxpack/host/host_path.h"
#include "steps/phases.h"

namespace brxpack {

namespace fs = std::filesystem;

namespace {

// Whether `host` is `folder` itself or lies below it.
bool Within(const fs::path& host, const fs::path& folder) {
  const auto [end, rest] = std::mismatch(folder.begin(), folder.end(), host.begin(), host.end());
  return end == folder.end();
}

// The whole view into the file, checked up to the close: a full disk may
// only show when the buffered bytes reach it.
std::error_code WriteBytes(const fs::path& host, const std::vector<uint8_t>& bytes) {
  std::FILE* file = OpenHostFile(host, "r+b");
  if (file == nullptr) return LastHostError();
  const bool written =
      std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && std::fflush(file) == 0;
  const std::error_code error = written ? std::error_code() : LastHostError();
  if (std::fclose(file) != 0 && !error) return LastHostError();
  return error;
}

std::error_code ReadBytes(const fs::path& host, std::vector<uint8_t>& bytes) {
  std::FILE* file = OpenHostFile(host, "rb");
  if (file == nullptr) return LastHostError();
  const bool read = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const std::error_code error =
      read ? std::error_code()
           : (std::ferror(file) ? LastHostError() : std::make_error_code(std::errc::io_error));
  std::fclose(file);
  return error;
}

}  // namespace

bool HostSystem::Fault(const fs::path& host, const std::error_code& error) {
  if (!fault_) fault_ = Utf8FromPath(host) + ": " + SystemErrorText(error);
  return false;
}

brx::Handle HostSystem::NewHandle(HandleInfo info) {
  const brx::Handle handle = next_;
  next_ += 4;
  handles_.emplace(handle, std::move(info));
  return handle;
}

bool HostSystem::InUse(const fs::path& host, bool writersOnly) const {
  for (const auto& [handle, info] : handles_) {
    if (info.kind != HandleKind::kProcess && (info.writable || !writersOnly) &&
        Within(info.host, host)) {
      return true;
    }
  }
  for (const auto& [view, info] : views_) {
    if ((!info.mapped || !writersOnly) && Within(info.host, host)) return true;
  }
  return false;
}

// GENERIC_READ with FILE_SHARE_READ: refused while anything writes the file.
brx::Handle HostSystem::OpenFileForReading(const char* path) {
  const ResolvedPath file = folders_.Resolve(path);
  if (!file.exists || file.isFolder || InUse(file.host, true)) return brx::kNoHandle;
  return NewHandle({HandleKind::kFile, file.host, false});
}

// CREATE_ALWAYS with FILE_SHARE_READ: refused while the file is open or
// mapped at all, over a folder, and where the folder for it is missing.
brx::Handle HostSystem::CreateFileForWriting(const char* path) {
  const ResolvedPath file = folders_.Resolve(path);
  if (!file.parentExists || file.isFolder || (!file.exists && !file.nameAllowed) ||
      InUse(file.host)) {
    return brx::kNoHandle;
  }
  std::FILE* created = OpenHostFile(file.host, "wb");
  if (created == nullptr || std::fclose(created) != 0) {
    Fault(file.host, LastHostError());
    return brx::kNoHandle;
  }
  if (!file.exists) folders_.Added(file.host);
  return NewHandle({HandleKind::kFile, file.host, true});
}

// CREATE_NEW: refused over anything that stands at the path.
brx::Handle HostSystem::CreateNewFile(const char* path) {
  if (folders_.Resolve(path).exists) return brx::kNoHandle;
  return CreateFileForWriting(path);
}

std::optional<uint32_t> HostSystem::FileSize(brx::Handle file) {
  const auto it = handles_.find(file);
  if (it == handles_.end() || it->second.kind != HandleKind::kFile) return std::nullopt;
  std::error_code error;
  const uint64_t size = fs::file_size(it->second.host, error);
  if (error || size > UINT32_MAX) return std::nullopt;
  return static_cast<uint32_t>(size);
}

// A read mapping holds the whole file; a write mapping gives the file its
// size. Neither can be made of an empty file.
brx::Handle HostSystem::CreateMapping(brx::Handle file, brx::MapAccess access, uint32_t size) {
  const auto it = handles_.find(file);
  const bool writable = access == brx::MapAccess::kWrite;
  if (it == handles_.end() || it->second.kind != HandleKind::kFile ||
      (writable && !it->second.writable)) {
    return brx::kNoHandle;
  }
  HandleInfo mapping(HandleKind::kMapping, it->second.host, writable);
  std::error_code error;
  const uint64_t length = fs::file_size(mapping.host, error);
  if (error) {
    Fault(mapping.host, error);
    return brx::kNoHandle;
  }
  if (!writable) {
    Result<MappedFile> mapped = MappedFile::Open(mapping.host);
    if (!mapped.ok() || mapped->size() == 0 || !mapped->FitsIn32Bits()) return brx::kNoHandle;
    mapping.mapped = std::make_shared<const MappedFile>(std::move(*mapped));
    return NewHandle(std::move(mapping));
  }
  mapping.size = size != 0 ? size : static_cast<uint32_t>(std::min<uint64_t>(length, UINT32_MAX));
  if (mapping.size == 0) return brx::kNoHandle;
  if (length < mapping.size) {
    fs::resize_file(mapping.host, mapping.size, error);
    if (error) {
      Fault(mapping.host, error);
      return brx::kNoHandle;
    }
  }
  mapping.fresh = length == 0;
  return NewHandle(std::move(mapping));
}

uint8_t* HostSystem::MapView(brx::Handle mapping, brx::MapAccess access) {
  const auto it = handles_.find(mapping);
  if (it == handles_.end() || it->second.kind != HandleKind::kMapping ||
      (access == brx::MapAccess::kWrite && !it->second.writable)) {
    return nullptr;
  }
  const HandleInfo& info = it->second;
  ViewInfo view{info.host, {}, info.mapped};
  if (info.mapped) {
    const uint8_t* bytes = info.mapped->data();
    views_.emplace(bytes, std::move(view));
    // The installer never writes through a read view; the seam's type is shared.
    return const_cast<uint8_t*>(bytes);
  }
  view.bytes.resize(info.size);
  if (!info.fresh) {
    const std::error_code error = ReadBytes(info.host, view.bytes);
    if (error) {
      Fault(info.host, error);
      return nullptr;
    }
  }
  uint8_t* bytes = view.bytes.data();
  views_.emplace(bytes, std::move(view));
  return bytes;
}

// A write view's bytes reach the file here, as a mapped file's pages do
// when its view is released.
bool HostSystem::UnmapView(const uint8_t* view) {
  const auto it = views_.find(view);
  if (it == views_.end()) return false;
  bool written = true;
  if (!it->second.mapped) {
    const std::error_code error = WriteBytes(it->second.host, it->second.bytes);
    if (error) written = Fault(it->second.host, error);
  }
  views_.erase(it);
  return written;
}

bool HostSystem::FillView(uint8_t* view, uint32_t, ViewFill fill, void* context) {
  return fill(context, view);
}

bool HostSystem::Close(brx::Handle handle) {
  return handles_.erase(handle) != 0;
}

// CreateDirectoryA: one folder, under a folder that exists, where nothing stands.
bool HostSystem::CreateFolder(const char* path) {
  if (std::strlen(path) > kLongestWindowsFolderPath) return false;
  const ResolvedPath folder = folders_.Resolve(path);
  if (!folder.parentExists || folder.exists || !folder.nameAllowed) return false;
  std::error_code error;
  if (!fs::create_directory(folder.host, error)) return Fault(folder.host, error);
  folders_.Added(folder.host);
  return true;
}

// RemoveDirectoryA: only an empty folder.
bool HostSystem::RemoveFolder(const char* path) {
  const ResolvedPath folder = folders_.Resolve(path);
  std::error_code error;
  if (!folder.isFolder || !fs::is_empty(folder.host, error) || InUse(folder.host)) return false;
  if (!fs::remove(folder.host, error)) return Fault(folder.host, error);
  folders_.Removed(folder.host);
  return true;
}

// MoveFileA: refuses a destination that exists (unless it is the source
// itself under another case), a source in use, and a folder into itself.
bool HostSystem::MovePath(const char* from, const char* to) {
  const ResolvedPath source = folders_.Resolve(from);
  const ResolvedPath target = folders_.Resolve(to);
  const bool caseOnly = target.exists && target.host == source.host;
  const bool intoItself = !caseOnly && Within(target.spelled, source.host);
  if (!source.exists || source.isMountRoot || !target.parentExists ||
      (target.exists && !caseOnly) || (!target.exists && !target.nameAllowed) || intoItself ||
      InUse(source.host)) {
    return false;
  }
  std::error_code error;
  fs::rename(source.host, target.spelled, error);
  if (error) return Fault(source.host, error);
  folders_.Removed(source.host);
  folders_.Added(target.spelled);
  return true;
}

// DeleteFileA: files only, and not while they are open or mapped.
bool HostSystem::DeletePath(const char* path) {
  const ResolvedPath file = folders_.Resolve(path);
  std::error_code error;
  if (!file.exists || file.isFolder || InUse(file.host)) return false;
  if (!fs::remove(file.host, error)) return Fault(file.host, error);
  folders_.Removed(file.host);
  return true;
}

bool HostSystem::PathExists(const char* path) {
  return folders_.Resolve(path).exists;
}

bool HostSystem::IsFolder(const char* path) {
  return folders_.Resolve(path).isFolder;
}

// Records the command instead of running it. CreateProcessA fails for a
// program or current folder that does not exist; a program outside the
// mounted folders cannot be looked at and is taken as present.
bool HostSystem::StartProcess(const char* application, char* commandLine, const char* currentFolder,
                              brx::ProcessHandles* started) {
  const ResolvedPath program = folders_.Resolve(application);
  const ResolvedPath folder = folders_.Resolve(currentFolder);
  SeamEvent event(SeamEvent::Kind::kCommand, commandLine, application, currentFolder);
  if ((program.inside && (!program.exists || program.isFolder)) ||
      (folder.inside && !folder.isFolder)) {
    event.fate = CommandFate::kNotStarted;
  } else {
    event.fate = program.inside ? CommandFate::kStarted : CommandFate::kUnchecked;
  }
  if (event.fate != CommandFate::kNotStarted && options_.commandsFail && folder.isFolder) {
    const fs::path errorFile = folder.host / brx::kCommandErrorFileName;
    errno = 0;
    event.reportsFailure = static_cast<bool>(std::ofstream(errorFile, std::ios::binary));
    if (!event.reportsFailure) Fault(errorFile, LastHostError());
    folders_.Added(errorFile);
  }
  events_.push_back(std::move(event));
  if (events_.back().fate == CommandFate::kNotStarted) return false;
  started->process = NewHandle({HandleKind::kProcess, {}, false});
  started->thread = NewHandle({HandleKind::kProcess, {}, false});
  return true;
}

void HostSystem::WaitForProcess(brx::Handle) {}

long HostSystem::OpenRegistryKey(brx::RegistryRoot root, const char* path, uint32_t access,
                                 brx::RegistryKey* key) {
  return registry_.Open(root, path, access, key);
}

long HostSystem::CreateRegistryKey(brx::RegistryRoot root, const char* path,
                                   brx::RegistryKey* key) {
  return registry_.Create(root, path, key);
}

long HostSystem::QueryRegistryValue(brx::RegistryKey key, const char* name, uint32_t* type,
                                    uint8_t* data, uint32_t* size) {
  return registry_.Query(key, name, type, data, size);
}

long HostSystem::SetRegistryValue(brx::RegistryKey key, const char* name, uint32_t type,
                                  const uint8_t* data, uint32_t size) {
  return registry_.Set(key, name, type, data, size);
}

void HostSystem::CloseRegistryKey(brx::RegistryKey key) {
  registry_.Close(key);
}

void HostSystem::SetStatusText(const char* text) {
  events_.emplace_back(SeamEvent::Kind::kStatus, text);
}

int HostSystem::AskUser(const char* text, const char* caption, uint32_t style) {
  const bool okCancel = (style & 0x0F) == brx::kMbOkCancel;
  SeamEvent event(SeamEvent::Kind::kQuestion, text, caption);
  event.style = style;
  event.answer = okCancel ? options_.answer : brx::kIdOk;
  events_.push_back(std::move(event));
  return events_.back().answer;
}

}  // namespace brxpack
