#include "brxpack/host/host_file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "brxpack/host/host_path.h"

namespace brxpack {

std::FILE* OpenHostFile(const std::filesystem::path& path, const char* mode) {
  errno = 0;
#ifdef _WIN32
  const std::wstring wide(mode, mode + std::char_traits<char>::length(mode));
  return _wfopen(path.c_str(), wide.c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

std::error_code LastHostError() {
  return std::error_code(errno != 0 ? errno : EIO, std::generic_category());
}

std::error_code CopyHostFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::FILE* source = OpenHostFile(from, "rb");
  if (source == nullptr) return LastHostError();
  std::FILE* target = OpenHostFile(to, "wb");
  if (target == nullptr) {
    const std::error_code error = LastHostError();
    std::fclose(source);
    return error;
  }
  std::error_code error;
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const size_t got = std::fread(buffer.data(), 1, buffer.size(), source);
    if (got > 0 && std::fwrite(buffer.data(), 1, got, target) != got) {
      error = LastHostError();
      break;
    }
    if (got < buffer.size()) {
      if (std::ferror(source)) error = LastHostError();
      break;
    }
  }
  if (!error && std::fflush(target) != 0) error = LastHostError();
  if (std::fclose(target) != 0 && !error) error = LastHostError();
  std::fclose(source);
  return error;
}

std::error_code CopyHostFolder(const std::filesystem::path& from, const std::filesystem::path& to,
                               std::filesystem::path& at,
                               const std::function<void(uint64_t bytes)>& copied) {
  namespace fs = std::filesystem;
  std::error_code error;
  at = to;
  fs::recursive_directory_iterator walk(from, error);
  // A failed copy ends the walk before the next step, which would clear it.
  for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
    at = to / walk->path().lexically_relative(from);
    if (walk->is_directory(error)) {
      fs::create_directory(at, error);
    } else if (!error) {
      error = CopyHostFile(walk->path(), at);
      std::error_code sized;
      const uint64_t size = walk->file_size(sized);
      if (!error && !sized && copied) copied(size);
    }
    if (error) break;
  }
  return error;
}

namespace {

constexpr uint64_t kChunk = 1 << 20;  // read at once

Error Unreadable(const std::filesystem::path& path) {
  return Error{Utf8FromPath(path) + ": cannot read: " + LastSystemErrorText()};
}

Error Changed(const std::filesystem::path& path, uint64_t expected, const std::string& now) {
  return Error{Utf8FromPath(path) + ": changed while being read (" + std::to_string(expected) +
               " bytes when listed, " + now + "); try again once it is complete"};
}

// Reads `size` bytes from `file` at its current place into `bytes`.
Status ReadInto(std::ifstream& file, const std::filesystem::path& path, uint64_t fileSize,
                uint64_t offset, uint64_t size, uint8_t* bytes) {
  for (uint64_t done = 0; done < size;) {
    const uint64_t part = std::min(size - done, kChunk);
    file.read(reinterpret_cast<char*>(bytes + done), static_cast<std::streamsize>(part));
    const uint64_t got = static_cast<uint64_t>(file.gcount());
    done += got;
    if (got == part) continue;
    if (file.bad()) return Unreadable(path);
    return Changed(path, fileSize, "ended at " + std::to_string(offset + done));
  }
  // Bytes past the size it had when opened: it grew while being read.
  if (offset + size == fileSize && file.peek() != std::ifstream::traits_type::eof()) {
    return Changed(path, fileSize, "grew while read");
  }
  return Status::Ok();
}

// Opens `path` and says its size, which must be `listedSize` when given.
Result<uint64_t> OpenChecked(std::ifstream& file, const std::filesystem::path& path,
                             std::optional<uint64_t> listedSize) {
  file.open(path, std::ios::binary | std::ios::ate);
  if (!file) return Error{Utf8FromPath(path) + ": cannot open: " + LastSystemErrorText()};
  const std::streamoff end = file.tellg();
  if (end < 0) return Error{Utf8FromPath(path) + ": cannot read its size"};
  const uint64_t size = static_cast<uint64_t>(end);
  if (listedSize && *listedSize != size) {
    return Changed(path, *listedSize, std::to_string(size) + " bytes when read");
  }
  return size;
}

}  // namespace

Result<std::vector<uint8_t>> ReadWholeFile(const std::filesystem::path& path,
                                           std::optional<uint64_t> listedSize) {
  std::ifstream file;
  Result<uint64_t> size = OpenChecked(file, path, listedSize);
  if (!size.ok()) return size.TakeError();
  if (*size > UINT32_MAX) {
    return Error{Utf8FromPath(path) + " is 4 GiB or larger; entries hold 32-bit sizes"};
  }
  file.seekg(0);
  std::vector<uint8_t> bytes(static_cast<size_t>(*size));
  Status read = ReadInto(file, path, *size, 0, *size, bytes.data());
  if (!read.ok()) return read.TakeError();
  return bytes;
}

Status ReadFilePart(const std::filesystem::path& path, uint64_t listedSize, uint64_t offset,
                    size_t size, std::vector<uint8_t>& bytes) {
  std::ifstream file;
  Result<uint64_t> fileSize = OpenChecked(file, path, listedSize);
  if (!fileSize.ok()) return fileSize.TakeError();
  if (offset > *fileSize || size > *fileSize - offset) {
    return Error{Utf8FromPath(path) + ": no bytes " + std::to_string(offset) + " to " +
                 std::to_string(offset + size) + " in it"};
  }
  file.seekg(static_cast<std::streamoff>(offset));
  bytes.resize(size);
  return ReadInto(file, path, *fileSize, offset, size, bytes.data());
}

Result<std::vector<bool>> SameContentsAsEach(const SizedFile& reference,
                                             const std::vector<SizedFile>& others) {
  std::vector<bool> same(others.size(), false);
  // Streams of the files still equal so far; null once one differs.
  std::vector<std::unique_ptr<std::ifstream>> open(others.size());
  size_t live = 0;
  for (size_t i = 0; i < others.size(); ++i) {
    if (others[i].size != reference.size) continue;
    same[i] = true;
    if (reference.size == 0) continue;
    open[i] = std::make_unique<std::ifstream>(others[i].path, std::ios::binary);
    ++live;
  }
  if (live == 0) return same;
  std::ifstream source(reference.path, std::ios::binary);
  std::vector<char> expected(static_cast<size_t>(std::min<uint64_t>(reference.size, kChunk)));
  std::vector<char> got(expected.size());
  for (uint64_t remaining = reference.size; remaining > 0 && live > 0;) {
    const size_t part = static_cast<size_t>(std::min<uint64_t>(remaining, kChunk));
    source.read(expected.data(), static_cast<std::streamsize>(part));
    if (!source) return Unreadable(reference.path);
    for (size_t i = 0; i < others.size(); ++i) {
      if (!open[i]) continue;
      open[i]->read(got.data(), static_cast<std::streamsize>(part));
      if (!*open[i]) return Unreadable(others[i].path);
      if (std::memcmp(expected.data(), got.data(), part) != 0) {
        same[i] = false;
        open[i].reset();
        --live;
      }
    }
    remaining -= part;
  }
  return same;
}

}  // namespace brxpack
