#include "brxpack/host/output_file.h"

#include <atomic>
#include <string>
#include <utility>

#include "brxpack/host/host_path.h"
#include "brxpack/host/interrupt_cleanup.h"
#include "brxpack/host/protected_files.h"

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#endif

namespace brxpack {

namespace {

// Unique within the process (threads extract side by side) and across
// processes (the process id), so two writers never share a temporary file.
std::filesystem::path TemporaryNameFor(const std::filesystem::path& finalPath) {
  static std::atomic<unsigned> counter{0};
#ifdef _WIN32
  const unsigned long process = static_cast<unsigned long>(_getpid());
#else
  const unsigned long process = static_cast<unsigned long>(getpid());
#endif
  std::filesystem::path name = finalPath;
  name += PathFromUtf8(".brxpack-" + std::to_string(process) + "-" +
                       std::to_string(counter.fetch_add(1)) + ".tmp");
  return name;
}

}  // namespace

Status AtomicOutputFile::Failure(const char* what) const {
  return Error{Utf8FromPath(finalPath_) + ": " + what + ": " + LastSystemErrorText()};
}

#ifdef _WIN32

Result<AtomicOutputFile> AtomicOutputFile::Create(const std::filesystem::path& finalPath) {
  Status allowed = CheckNotProtected(finalPath);
  if (!allowed.ok()) return allowed.TakeError();
  AtomicOutputFile file;
  file.finalPath_ = finalPath;
  file.temporaryPath_ = TemporaryNameFor(finalPath);
  // Shared for deletion only, so that an interruption can remove it while open.
  HANDLE handle = CreateFileW(file.temporaryPath_.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE,
                              nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return file.Failure("cannot create").TakeError();
  file.handle_ = handle;
  file.open_ = true;
  file.cleanupSlot_ = RegisterTemporary(file.temporaryPath_);
  return file;
}

Status AtomicOutputFile::Write(const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD done = 0;
    if (!WriteFile(handle_, bytes, chunk, &done, nullptr) || done == 0) {
      return Failure("cannot write");
    }
    bytes += done;
    size -= done;
    written_ += done;
  }
  return Status::Ok();
}

Status AtomicOutputFile::WriteAt(uint64_t offset, const void* data, size_t size) {
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(handle_, position, nullptr, FILE_BEGIN)) return Failure("cannot seek");
  const uint64_t end = written_;
  Status status = Write(data, size);
  written_ = end;
  position.QuadPart = static_cast<LONGLONG>(end);
  if (!SetFilePointerEx(handle_, position, nullptr, FILE_BEGIN) && status.ok()) {
    return Failure("cannot seek");
  }
  return status;
}

Status AtomicOutputFile::Commit() {
  open_ = false;
  if (!CloseHandle(handle_)) {
    Status status = Failure("cannot close");
    DeleteFileW(temporaryPath_.c_str());
    ReleaseTemporary(std::exchange(cleanupSlot_, -1));
    return status;
  }
  const bool renamed =
      MoveFileExW(temporaryPath_.c_str(), finalPath_.c_str(), MOVEFILE_REPLACE_EXISTING);
  Status status = renamed ? Status::Ok() : Failure("cannot rename the finished file to its name");
  if (!renamed) DeleteFileW(temporaryPath_.c_str());
  ReleaseTemporary(std::exchange(cleanupSlot_, -1));
  return status;
}

void AtomicOutputFile::Abandon() {
  if (!open_) return;
  open_ = false;
  CloseHandle(handle_);
  DeleteFileW(temporaryPath_.c_str());
  ReleaseTemporary(std::exchange(cleanupSlot_, -1));
}

AtomicOutputFile::AtomicOutputFile(AtomicOutputFile&& other) noexcept
    : finalPath_(std::move(other.finalPath_)),
      temporaryPath_(std::move(other.temporaryPath_)),
      handle_(other.handle_),
      written_(other.written_),
      open_(std::exchange(other.open_, false)),
      cleanupSlot_(std::exchange(other.cleanupSlot_, -1)) {}

#else

Result<AtomicOutputFile> AtomicOutputFile::Create(const std::filesystem::path& finalPath) {
  Status allowed = CheckNotProtected(finalPath);
  if (!allowed.ok()) return allowed.TakeError();
  AtomicOutputFile file;
  file.finalPath_ = finalPath;
  file.temporaryPath_ = TemporaryNameFor(finalPath);
  file.descriptor_ =
      open(file.temporaryPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (file.descriptor_ < 0) return file.Failure("cannot create").TakeError();
  file.open_ = true;
  file.cleanupSlot_ = RegisterTemporary(file.temporaryPath_);
  return file;
}

Status AtomicOutputFile::Write(const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t done = write(descriptor_, bytes, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return Failure("cannot write");
    bytes += done;
    size -= static_cast<size_t>(done);
    written_ += static_cast<uint64_t>(done);
  }
  return Status::Ok();
}

Status AtomicOutputFile::WriteAt(uint64_t offset, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t done = pwrite(descriptor_, bytes, size, static_cast<off_t>(offset));
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return Failure("cannot write");
    bytes += done;
    size -= static_cast<size_t>(done);
    offset += static_cast<uint64_t>(done);
  }
  return Status::Ok();
}

Status AtomicOutputFile::Commit() {
  open_ = false;
  Status status = Status::Ok();
  if (close(descriptor_) != 0) {
    status = Failure("cannot close");
  } else if (std::rename(temporaryPath_.c_str(), finalPath_.c_str()) != 0) {
    status = Failure("cannot rename the finished file to its name");
  }
  if (!status.ok()) unlink(temporaryPath_.c_str());
  // Released only now: an interruption before the rename still finds it.
  ReleaseTemporary(std::exchange(cleanupSlot_, -1));
  return status;
}

void AtomicOutputFile::Abandon() {
  if (!open_) return;
  open_ = false;
  close(descriptor_);
  unlink(temporaryPath_.c_str());
  ReleaseTemporary(std::exchange(cleanupSlot_, -1));
}

AtomicOutputFile::AtomicOutputFile(AtomicOutputFile&& other) noexcept
    : finalPath_(std::move(other.finalPath_)),
      temporaryPath_(std::move(other.temporaryPath_)),
      descriptor_(other.descriptor_),
      written_(other.written_),
      open_(std::exchange(other.open_, false)),
      cleanupSlot_(std::exchange(other.cleanupSlot_, -1)) {}

#endif

AtomicOutputFile::~AtomicOutputFile() {
  Abandon();
}

Status WriteOutputFile(const std::filesystem::path& path, const void* data, size_t size) {
  Result<AtomicOutputFile> output = AtomicOutputFile::Create(path);
  Status status = output.ok() ? output->Write(data, size) : output.TakeError();
  if (status.ok()) status = output->Commit();
  return status;
}

}  // namespace brxpack
