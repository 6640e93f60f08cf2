#include "brxpack/host/mapped_file.h"

#include <utility>

#include "brxpack/host/host_path.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace brxpack {

namespace {

Error OpenError(const std::filesystem::path& path, const char* what) {
  return Error{Utf8FromPath(path) + ": " + what + ": " + LastSystemErrorText()};
}

}  // namespace

#ifdef _WIN32

Result<MappedFile> MappedFile::Open(const std::filesystem::path& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return OpenError(path, "cannot open");
  // The view keeps the mapping and the file alive on its own: the handle
  // closes in any case.
  Result<MappedFile> result = [&]() -> Result<MappedFile> {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size)) return OpenError(path, "cannot read its size");
    MappedFile mapped;
    mapped.size_ = static_cast<uint64_t>(size.QuadPart);
    if (mapped.size_ == 0) return mapped;
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping == nullptr) return OpenError(path, "cannot map");
    mapped.data_ = static_cast<const uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    CloseHandle(mapping);
    if (mapped.data_ == nullptr) return OpenError(path, "cannot map");
    return mapped;
  }();
  CloseHandle(file);
  return result;
}

void MappedFile::Unmap() {
  if (data_ != nullptr) UnmapViewOfFile(data_);
}

#else

Result<MappedFile> MappedFile::Open(const std::filesystem::path& path) {
  const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (file < 0) return OpenError(path, "cannot open");
  // The mapping keeps the file alive on its own: the descriptor closes in
  // any case.
  Result<MappedFile> result = [&]() -> Result<MappedFile> {
    struct stat status;
    if (fstat(file, &status) != 0) return OpenError(path, "cannot read its size");
    if (!S_ISREG(status.st_mode)) return Error{Utf8FromPath(path) + ": not a regular file"};
    MappedFile mapped;
    mapped.size_ = static_cast<uint64_t>(status.st_size);
    if (mapped.size_ == 0) return mapped;
    void* view = mmap(nullptr, mapped.size_, PROT_READ, MAP_PRIVATE, file, 0);
    if (view == MAP_FAILED) return OpenError(path, "cannot map");
    madvise(view, mapped.size_, MADV_SEQUENTIAL);
    mapped.data_ = static_cast<const uint8_t*>(view);
    return mapped;
  }();
  close(file);
  return result;
}

void MappedFile::Unmap() {
  if (data_ != nullptr) munmap(const_cast<uint8_t*>(data_), size_);
}

#endif

MappedFile::MappedFile(MappedFile&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

// The mapping this held goes with `other`.
MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
  std::swap(data_, other.data_);
  std::swap(size_, other.size_);
  return *this;
}

MappedFile::~MappedFile() {
  Unmap();
}

}  // namespace brxpack
