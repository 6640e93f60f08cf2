#include "support/package_samples.h"

#include <zlib.h>

#include "package/package_digest.h"

namespace brx::test {

std::vector<uint8_t> ZlibStream(const std::vector<uint8_t>& bytes) {
  uLongf size = compressBound(bytes.size());
  std::vector<uint8_t> stream(size);
  if (compress(stream.data(), &size, bytes.data(), bytes.size()) != Z_OK) std::abort();  // memory
  stream.resize(size);
  return stream;
}

std::vector<uint8_t> WriteTestPackage(const std::vector<PackageEntrySource>& entries,
                                      bool compressDirectory, bool digest) {
  std::vector<PackageEntrySource> all = entries;
  if (digest) {
    all.push_back({kDigestSection, std::vector<uint8_t>(kDigestSize), EntryStorage::kStored});
  }
  std::vector<uint8_t> package(kHeaderSize, 0);
  std::vector<uint8_t> directory;
  PackageDigest sum;
  for (const PackageEntrySource& source : all) {
    if (source.name.size() >= kEntryNameSize) std::abort();  // the test's own mistake
    const bool compressed = source.storage == EntryStorage::kCompressed;
    const std::vector<uint8_t> stored = compressed ? ZlibStream(source.content) : source.content;
    DirectoryEntry entry = {};
    std::memcpy(entry.name, source.name.data(), source.name.size());
    entry.offset = static_cast<uint32_t>(package.size());
    entry.size = static_cast<uint32_t>(source.content.size());
    entry.flags = (source.extraFlags & ~kEntryCompressed) | (compressed ? kEntryCompressed : 0);
    entry.compressedSize = static_cast<uint32_t>(stored.size());
    package.insert(package.end(), stored.begin(), stored.end());
    directory.resize(directory.size() + kDirectoryEntrySize);
    EncodeDirectoryEntry(entry, directory.data() + directory.size() - kDirectoryEntrySize);
    if (digest && &source == &all.back()) {
      sum.AddDigestEntry(entry);  // its record, not its value
      WriteLe32(package.data() + entry.offset, sum.value());
    } else {
      sum.AddEntry(entry, Range(stored));
    }
  }
  PackageHeader header = {};
  std::memcpy(header.magic, kHeaderMagic, sizeof kHeaderMagic);
  header.entryCount = static_cast<uint32_t>(directory.size() / kDirectoryEntrySize);
  header.directoryOffset = static_cast<uint32_t>(package.size());
  header.directoryFlags = compressDirectory ? kDirectoryCompressed : kDirectoryStored;
  if (compressDirectory) {
    directory = ZlibStream(directory);
    header.directoryCompressedSize = static_cast<uint32_t>(directory.size());
  }
  package.insert(package.end(), directory.begin(), directory.end());
  EncodeHeader(header, package.data());
  return package;
}

}  // namespace brx::test
