#include "support/hostile_packages.h"

#include <algorithm>
#include <cstring>

namespace brx::hostile {
namespace {

constexpr size_t kEntryCountAt = 16;
constexpr size_t kDirectoryOffsetAt = 20;
constexpr size_t kDirectoryFlagsAt = 24;
constexpr size_t kDirectoryCompressedSizeAt = 28;
constexpr size_t kEntrySizeAt = 36;

uint32_t Field(const std::vector<uint8_t>& package, size_t at) {
  return ReadLe32(package.data() + at);
}

void SetField(std::vector<uint8_t>& package, size_t at, uint32_t value) {
  WriteLe32(package.data() + at, value);
}

size_t RecordAt(const std::vector<uint8_t>& package, uint32_t index) {
  return Field(package, kDirectoryOffsetAt) + size_t{index} * kDirectoryEntrySize;
}

}  // namespace

std::vector<uint8_t> WriteStored(const std::vector<PackageEntrySource>& entries, int level) {
  PackageWriterOptions options;
  options.level = level;
  options.compressDirectory = false;
  std::string error;
  return WritePackage(entries, options, &error);
}

void ClaimEntryCount(std::vector<uint8_t>& package, uint32_t count) {
  SetField(package, kEntryCountAt, count);
}

void ClaimDirectoryStreamSize(std::vector<uint8_t>& package, uint32_t size) {
  SetField(package, kDirectoryCompressedSizeAt, size);
}

void ClaimEntrySize(std::vector<uint8_t>& package, uint32_t index, uint32_t size) {
  SetField(package, RecordAt(package, index) + kEntrySizeAt, size);
}

void FillName(std::vector<uint8_t>& package, uint32_t index, char fill) {
  std::memset(package.data() + RecordAt(package, index), fill, kEntryNameSize);
}

void RepeatRecord(std::vector<uint8_t>& package, uint32_t index, uint32_t count) {
  const size_t at = RecordAt(package, index);
  const std::vector<uint8_t> record(package.begin() + at,
                                    package.begin() + at + kDirectoryEntrySize);
  const uint32_t present = Field(package, kEntryCountAt);
  package.reserve(package.size() + size_t{count - present} * kDirectoryEntrySize);
  for (uint32_t i = present; i < count; ++i)
    package.insert(package.end(), record.begin(), record.end());
  ClaimEntryCount(package, count);
}

void CompressDirectory(std::vector<uint8_t>& package) {
  const size_t at = Field(package, kDirectoryOffsetAt);
  const std::vector<uint8_t> stream = CompressZlib(package.data() + at, package.size() - at, 9);
  package.resize(at);
  package.insert(package.end(), stream.begin(), stream.end());
  SetField(package, kDirectoryFlagsAt, kDirectoryCompressed);
  ClaimDirectoryStreamSize(package, static_cast<uint32_t>(stream.size()));
}

std::vector<uint8_t> Repeated(const std::string& item, uint32_t count, const std::string& closing) {
  const size_t size = item.size() * count;
  std::vector<uint8_t> payload(size + closing.size());
  if (size != 0) std::memcpy(payload.data(), item.data(), item.size());
  // Doubling: a few dozen block copies instead of a million small ones.
  for (size_t filled = item.size(); filled < size; filled *= 2) {
    std::memcpy(payload.data() + filled, payload.data(), std::min(filled, size - filled));
  }
  std::memcpy(payload.data() + size, closing.data(), closing.size());
  return payload;
}

}  // namespace brx::hostile
