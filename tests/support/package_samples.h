#pragma once
// Package bytes for tests, composed here and not by brxpack's writer, so
// that the readers' tests do not share its mistakes: entries stored or
// compressed (zlib's own deflate), a directory left stored where a test
// changes its records, and where the fields lie, for the damage no writer
// makes; holders of parsed packages and payload blocks.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "package/format.h"
#include "package/memory_range.h"
#include "package/reader.h"

namespace brx::test {

enum class EntryStorage { kStored, kCompressed };

struct PackageEntrySource {
  std::string name;  // at most 31 bytes
  std::vector<uint8_t> content;
  EntryStorage storage = EntryStorage::kCompressed;
  uint32_t extraFlags = 0;  // further flag bits (readers pass over them); the storage sets its own
};

// A zlib stream of the bytes.
std::vector<uint8_t> ZlibStream(const std::vector<uint8_t>& bytes);

// A package file's bytes: the entries laid from the header on in their
// order, the directory behind them, stored unless asked otherwise, and a
// package digest last when asked.
std::vector<uint8_t> WriteTestPackage(const std::vector<PackageEntrySource>& entries,
                                      bool compressDirectory = false, bool digest = false);

// Header fields, by their offsets in the package.
inline constexpr size_t kEntryCountAt = 16;
inline constexpr size_t kDirectoryOffsetAt = 20;
inline constexpr size_t kDirectoryFlagsAt = 24;
inline constexpr size_t kDirectoryStreamSizeAt = 28;
// Fields of a directory record, by their offsets in the record.
inline constexpr size_t kEntryOffsetAt = 32;
inline constexpr size_t kEntrySizeAt = 36;
inline constexpr size_t kEntryCompressedSizeAt = 44;

inline uint32_t GetLe32(const std::vector<uint8_t>& bytes, size_t offset) {
  return ReadLe32(bytes.data() + offset);
}
inline void PutLe32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
  WriteLe32(bytes.data() + offset, value);
}
// Where record `index` of a package with a stored directory begins.
inline size_t RecordAt(const std::vector<uint8_t>& package, uint32_t index) {
  return GetLe32(package, kDirectoryOffsetAt) + size_t{index} * kDirectoryEntrySize;
}

inline MemoryRange Range(const std::vector<uint8_t>& bytes) {
  return {bytes.data(), static_cast<uint32_t>(bytes.size())};
}

// A parsed package whose directory goes with it. The bytes must outlive it.
struct ParsedPackage {
  explicit ParsedPackage(const std::vector<uint8_t>& file,
                         PackageSource source = PackageSource::kPackageFile)
      : error(ParsePackage(Range(file), source, &package)) {}
  ParsedPackage(const ParsedPackage&) = delete;
  ParsedPackage& operator=(const ParsedPackage&) = delete;
  ~ParsedPackage() { std::free(package.directory); }

  Package package;
  PackageError error;
};

// Payload bytes in a heap block of exactly their size and the zero byte that
// a SectionBlock puts behind them, so the sanitizer sees any read beyond.
class GuardedBlock {
 public:
  explicit GuardedBlock(const std::string& bytes)
      : data_(static_cast<uint8_t*>(std::malloc(bytes.size() + 1))),
        size_(static_cast<uint32_t>(bytes.size())) {
    std::memcpy(data_, bytes.data(), bytes.size());
    data_[size_] = 0;
  }
  GuardedBlock(const GuardedBlock&) = delete;
  GuardedBlock& operator=(const GuardedBlock&) = delete;
  ~GuardedBlock() { std::free(data_); }

  MemoryRange range() const { return {data_, size_}; }

 private:
  uint8_t* data_;
  uint32_t size_;
};

}  // namespace brx::test
