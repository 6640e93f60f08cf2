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
  std::vector<uint8_t> package(kHeaderSize, 0);
  std::vector<uint8_t> directory;
  // Lays the stored bytes behind what is there and the entry's record.
  const auto lay = [&](DirectoryEntry entry, const std::string& name,
                       const std::vector<uint8_t>& stored) {
    if (name.size() >= kEntryNameSize) std::abort();  // the test's own mistake
    std::memcpy(entry.name, name.data(), name.size());
    entry.offset = static_cast<uint32_t>(package.size());
    entry.compressedSize = static_cast<uint32_t>(stored.size());
    package.insert(package.end(), stored.begin(), stored.end());
    directory.resize(directory.size() + kDirectoryEntrySize);
    EncodeDirectoryEntry(entry, directory.data() + directory.size() - kDirectoryEntrySize);
    return entry;
  };
  PackageDigest sum;
  for (const PackageEntrySource& source : entries) {
    const bool compressed = source.storage == EntryStorage::kCompressed;
    DirectoryEntry entry = {};
    entry.size = static_cast<uint32_t>(source.content.size());
    entry.flags = (source.extraFlags & ~kEntryCompressed) | (compressed ? kEntryCompressed : 0);
    const std::vector<uint8_t> stored = compressed ? ZlibStream(source.content) : source.content;
    sum.AddEntry(lay(entry, source.name, stored), Range(stored));
  }
  if (digest) {
    DirectoryEntry entry = {};
    entry.size = kDigestSize;
    // The digest covers its own record, not its value.
    entry = lay(entry, kDigestSection, std::vector<uint8_t>(kDigestSize));
    sum.AddDigestEntry(entry);
    WriteLe32(package.data() + entry.offset, sum.value());
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
