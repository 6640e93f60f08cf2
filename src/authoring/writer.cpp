#include "authoring/writer.h"

#include <cstring>

#include "authoring/zlib_compressor.h"
#include "package/format.h"
#include "package/package_digest.h"

namespace brx {

namespace {

constexpr uint64_t kMaxPackageSize = UINT32_MAX;

void Fail(std::string* error, const std::string& reason) {
  if (error != nullptr) *error = reason;
}

void AppendBytes(std::vector<uint8_t>& out, const std::vector<uint8_t>& bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace

std::vector<uint8_t> CompressZlib(const uint8_t* data, size_t size, int level) {
  ZlibCompressor compressor(Compression{level});
  return compressor.Compress(data, size);
}

std::vector<uint8_t> WritePackage(const std::vector<PackageEntrySource>& entries,
                                  const PackageWriterOptions& options, std::string* error) {
  if (entries.empty()) {
    Fail(error, "a package needs at least one entry");
    return {};
  }
  std::vector<uint8_t> package(kHeaderSize, 0);
  std::vector<uint8_t> directory((entries.size() + (options.digest ? 1 : 0)) * kDirectoryEntrySize,
                                 0);
  PackageDigest digest;
  for (size_t i = 0; i < entries.size(); ++i) {
    const PackageEntrySource& source = entries[i];
    if (source.name.size() >= kEntryNameSize) {
      Fail(error, "entry name longer than 31 bytes: " + source.name);
      return {};
    }
    if (source.content.size() > kMaxPackageSize) {
      Fail(error, "entry larger than 4 GiB: " + source.name);
      return {};
    }
    DirectoryEntry entry = {};
    std::memcpy(entry.name, source.name.data(), source.name.size());
    entry.offset = static_cast<uint32_t>(package.size());
    entry.size = static_cast<uint32_t>(source.content.size());
    // The storage bit always says how the bytes really are stored.
    entry.flags = source.extraFlags & ~kEntryCompressed;
    std::vector<uint8_t> stored;
    if (source.storage == EntryStorage::kCompressed) {
      stored = CompressZlib(source.content.data(), source.content.size(),
                            source.level >= 0 ? source.level : options.level);
      if (stored.empty()) {
        Fail(error, "zlib could not compress entry: " + source.name);
        return {};
      }
      entry.flags |= kEntryCompressed;
      entry.compressedSize = static_cast<uint32_t>(stored.size());
    } else {
      stored = source.content;
      entry.compressedSize = entry.size;
    }
    if (package.size() + stored.size() > kMaxPackageSize) {
      Fail(error, "package larger than 4 GiB");
      return {};
    }
    AppendBytes(package, stored);
    EncodeDirectoryEntry(entry, directory.data() + i * kDirectoryEntrySize);
    digest.AddEntry(entry, {stored.data(), static_cast<uint32_t>(stored.size())});
  }
  if (options.digest) {
    DirectoryEntry entry = {};
    std::memcpy(entry.name, kDigestSection, sizeof kDigestSection);
    entry.offset = static_cast<uint32_t>(package.size());
    entry.size = entry.compressedSize = kDigestSize;
    EncodeDirectoryEntry(entry, directory.data() + entries.size() * kDirectoryEntrySize);
    digest.AddDigestEntry(entry);
    uint8_t value[kDigestSize];
    WriteLe32(value, digest.value());
    package.insert(package.end(), value, value + kDigestSize);
  }

  PackageHeader header = {};
  std::memcpy(header.magic, kHeaderMagic, sizeof kHeaderMagic);
  header.entryCount = static_cast<uint32_t>(directory.size() / kDirectoryEntrySize);
  header.directoryOffset = static_cast<uint32_t>(package.size());
  header.directoryFlags = options.extraDirectoryFlags & ~kDirectoryMethodMask;
  std::vector<uint8_t> storedDirectory;
  if (options.compressDirectory) {
    storedDirectory = CompressZlib(directory.data(), directory.size(), options.level);
    if (storedDirectory.empty()) {
      Fail(error, "zlib could not compress the directory");
      return {};
    }
    header.directoryFlags |= kDirectoryCompressed;
    header.directoryCompressedSize = static_cast<uint32_t>(storedDirectory.size());
  } else {
    storedDirectory = std::move(directory);
    header.directoryFlags |= kDirectoryStored;
  }
  if (package.size() + storedDirectory.size() > kMaxPackageSize) {
    Fail(error, "package larger than 4 GiB");
    return {};
  }
  AppendBytes(package, storedDirectory);
  EncodeHeader(header, package.data());
  return package;
}

std::vector<uint8_t> AppendPackageToStub(const std::vector<uint8_t>& stub,
                                         const std::vector<uint8_t>& package) {
  // The trailer holds the stub's size in 32 bits.
  if (stub.size() > UINT32_MAX) return {};
  std::vector<uint8_t> out;
  out.reserve(stub.size() + package.size() + kTrailerSize);
  AppendBytes(out, stub);
  AppendBytes(out, package);
  uint8_t bytes[kTrailerSize];
  WriteTrailer(bytes, static_cast<uint32_t>(stub.size()));
  out.insert(out.end(), bytes, bytes + kTrailerSize);
  return out;
}

}  // namespace brx
