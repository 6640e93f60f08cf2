#include "brxpack/host/output_file.h"

#include <atomic>
#include <string>
#include <utility>

#include "brxpack/host/host_path.h"
#include "brxpack/host/interrupt_cleanup.h"
#include "brxpack/host/output_guard.h"

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
  return std::filesystem::path(finalPath) +=
         PathFromUtf8(".brxpack-" + std::to_string(process) + "-" +
                      std::to_string(counter.fetch_add(1)) + ".tmp");
}

// The system's side. A write names its offset, so appending and
// overwriting a header go through one call and never move a file pointer.
constexpr intptr_t kNoFile = -1;

#ifdef _WIN32

intptr_t OpenNew(const std::filesystem::path& path) {
  // Shared for deletion only, so that an interruption can remove it while open.
  const HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  return handle == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<intptr_t>(handle);
}

// What one call wrote at `offset`; 0 or less on failure.
int64_t WriteSome(intptr_t file, const char* bytes, size_t size, uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
  DWORD done = 0;
  return WriteFile(reinterpret_cast<HANDLE>(file), bytes, chunk, &done, &at) ? done : -1;
}

bool CloseFile(intptr_t file) {
  return CloseHandle(reinterpret_cast<HANDLE>(file)) != 0;
}
bool RenameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

#else

intptr_t OpenNew(const std::filesystem::path& path) {
  return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

int64_t WriteSome(intptr_t file, const char* bytes, size_t size, uint64_t offset) {
  ssize_t done;
  do {
    done = pwrite(static_cast<int>(file), bytes, size, static_cast<off_t>(offset));
  } while (done < 0 && errno == EINTR);
  return done;
}

bool CloseFile(intptr_t file) {
  return close(static_cast<int>(file)) == 0;
}
bool RenameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

#endif

bool WriteAll(intptr_t file, const void* data, size_t size, uint64_t offset) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const int64_t done = WriteSome(file, bytes, size, offset);
    if (done <= 0) return false;
    bytes += done;
    size -= static_cast<size_t>(done);
    offset += static_cast<uint64_t>(done);
  }
  return true;
}

void RemoveFile(const std::filesystem::path& path) {
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
}

}  // namespace

Status AtomicOutputFile::Failure(const char* what) const {
  return Error{Utf8FromPath(finalPath_) + ": " + what + ": " + LastSystemErrorText()};
}

Result<AtomicOutputFile> AtomicOutputFile::Create(const std::filesystem::path& finalPath) {
  Status allowed = CheckNotProtected(finalPath);
  if (!allowed.ok()) return allowed.TakeError();
  AtomicOutputFile file;
  file.finalPath_ = finalPath;
  file.temporaryPath_ = TemporaryNameFor(finalPath);
  file.file_ = OpenNew(file.temporaryPath_);
  if (file.file_ == kNoFile) return file.Failure("cannot create").TakeError();
  file.cleanupSlot_ = RegisterTemporary(file.temporaryPath_);
  return file;
}

Status AtomicOutputFile::Write(const void* data, size_t size) {
  if (!WriteAll(file_, data, size, written_)) return Failure("cannot write");
  written_ += size;
  return Status::Ok();
}

Status AtomicOutputFile::WriteAt(uint64_t offset, const void* data, size_t size) {
  return WriteAll(file_, data, size, offset) ? Status::Ok() : Failure("cannot write");
}

Status AtomicOutputFile::Commit() {
  Status status = Status::Ok();
  if (!CloseFile(std::exchange(file_, kNoFile))) {
    status = Failure("cannot close");
  } else if (!RenameOver(temporaryPath_, finalPath_)) {
    status = Failure("cannot rename the finished file to its name");
  }
  if (!status.ok()) RemoveFile(temporaryPath_);
  // Released only now: an interruption before the rename still finds it.
  ReleaseTemporary(std::exchange(cleanupSlot_, -1));
  return status;
}

AtomicOutputFile::AtomicOutputFile(AtomicOutputFile&& other) noexcept
    : finalPath_(std::move(other.finalPath_)),
      temporaryPath_(std::move(other.temporaryPath_)),
      file_(std::exchange(other.file_, kNoFile)),
      written_(other.written_),
      cleanupSlot_(std::exchange(other.cleanupSlot_, -1)) {}

// Without Commit, the temporary file goes.
AtomicOutputFile::~AtomicOutputFile() {
  if (file_ == kNoFile) return;
  CloseFile(file_);
  RemoveFile(temporaryPath_);
  ReleaseTemporary(std::exchange(cleanupSlot_, -1));
}

Status WriteOutputFile(const std::filesystem::path& path, const void* data, size_t size) {
  Result<AtomicOutputFile> output = AtomicOutputFile::Create(path);
  Status status = output.ok() ? output->Write(data, size) : output.TakeError();
  if (status.ok()) status = output->Commit();
  return status;
}

}  // namespace brxpack
