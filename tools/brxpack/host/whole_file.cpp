#include "brxpack/host/whole_file.h"

#include <algorithm>
#include <fstream>
#include <string>

#include "brxpack/host/host_path.h"

namespace brxpack {

namespace {

constexpr uint64_t kReadChunk = 1 << 20;

Error Changed(const std::filesystem::path& path, uint64_t expected, const std::string& now) {
  return Error{Utf8FromPath(path) + ": changed while being read (" + std::to_string(expected) +
               " bytes when listed, " + now + "); try again once it is complete"};
}

// Reads `size` bytes from `file` at its current place into `bytes`.
Status ReadInto(std::ifstream& file, const std::filesystem::path& path, uint64_t fileSize,
                uint64_t offset, uint64_t size, uint8_t* bytes) {
  for (uint64_t done = 0; done < size;) {
    const uint64_t part = std::min(size - done, kReadChunk);
    file.read(reinterpret_cast<char*>(bytes + done), static_cast<std::streamsize>(part));
    const uint64_t got = static_cast<uint64_t>(file.gcount());
    done += got;
    if (got == part) continue;
    if (file.bad()) return Error{Utf8FromPath(path) + ": cannot read: " + LastSystemErrorText()};
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

}  // namespace brxpack
