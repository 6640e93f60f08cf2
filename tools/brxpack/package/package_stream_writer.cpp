#include "brxpack/package/package_stream_writer.h"

#include <cstring>

#include "brxpack/package/directory_and_header.h"
#include "brxpack/package/preparation_pool.h"
#include "brxpack/contents/windows1251.h"
#include "package/format.h"
#include "package/package_digest.h"

namespace brxpack {

namespace {

// The digest behind the entries, its record last in the directory: stored
// raw, as the checksum of everything else it needs none of its own.
Status WriteDigest(size_t index, brx::PackageDigest& digest, uint64_t offset,
                   std::vector<uint8_t>& directory, AtomicOutputFile& output) {
  if (offset + brx::kDigestSize > UINT32_MAX) {
    return Error{"the package would pass 4 GiB, the limit of its 32-bit offsets"};
  }
  brx::DirectoryEntry entry = {};
  std::memcpy(entry.name, brx::kDigestSection, sizeof brx::kDigestSection);
  entry.offset = static_cast<uint32_t>(offset);
  entry.size = brx::kDigestSize;
  entry.compressedSize = brx::kDigestSize;
  brx::EncodeDirectoryEntry(entry, directory.data() + index * brx::kDirectoryEntrySize);
  digest.AddDigestEntry(entry);
  uint8_t value[brx::kDigestSize];
  brx::WriteLe32(value, digest.value());
  return output.Write(value, sizeof value);
}

// The entries in their order as the pool hands them out, each followed by
// its directory entry; offsets count from the package's start.
Result<std::vector<WrittenEntry>> WriteInOrder(const std::vector<EntryToWrite>& entries,
                                               const StreamWriterOptions& options,
                                               AtomicOutputFile& output) {
  const uint64_t start = output.written();
  const uint8_t placeholder[brx::kHeaderSize] = {};
  Status status = output.Write(placeholder, sizeof placeholder);
  if (!status.ok()) return status.TakeError();
  // One record more than entries: the digest's, last.
  std::vector<uint8_t> directory((entries.size() + 1) * brx::kDirectoryEntrySize);
  std::vector<WrittenEntry> written;
  brx::PackageDigest digest;
  uint64_t offset = brx::kHeaderSize;

  PreparationPool pool(entries, options.compression, options.threads);
  for (size_t index = 0; index < entries.size(); ++index) {
    const PreparedEntry ready = pool.Take();
    if (ready.error) return Error{*ready.error};
    const std::vector<uint8_t>& stream = ready.compressed;
    if (offset + stream.size() > UINT32_MAX) {
      return Error{"the package would pass 4 GiB, the limit of its 32-bit offsets"};
    }
    status = output.Write(stream.data(), stream.size());
    if (!status.ok()) return status.TakeError();

    brx::DirectoryEntry entry = {};
    const std::string& name = entries[index].name;
    std::memcpy(entry.name, name.data(), name.size());
    entry.offset = static_cast<uint32_t>(offset);
    entry.size = static_cast<uint32_t>(ready.size);
    entry.flags = brx::kEntryCompressed;
    entry.compressedSize = static_cast<uint32_t>(stream.size());
    brx::EncodeDirectoryEntry(entry, directory.data() + index * brx::kDirectoryEntrySize);
    digest.AddEntry(entry, {stream.data(), static_cast<uint32_t>(stream.size())});
    written.push_back({entry.size, ready.shrank()});
    offset += stream.size();
    if (options.progress != nullptr) options.progress->Advance(ready.size);
  }
  status = WriteDigest(entries.size(), digest, offset, directory, output);
  if (!status.ok()) return status.TakeError();
  offset += brx::kDigestSize;
  status = WriteDirectoryAndHeader(directory, static_cast<uint32_t>(entries.size() + 1), offset,
                                   start, options.compression, output);
  if (!status.ok()) return status.TakeError();
  return written;
}

}  // namespace

Result<std::vector<WrittenEntry>> WritePackageStream(const std::vector<EntryToWrite>& entries,
                                                     const StreamWriterOptions& options,
                                                     AtomicOutputFile& output) {
  if (entries.empty()) return Error{"a package needs at least one entry"};
  if (entries.size() >= UINT32_MAX / brx::kDirectoryEntrySize) {
    return Error{"too many entries for one package"};
  }
  for (const EntryToWrite& entry : entries) {
    if (entry.name.empty() || entry.name.size() >= brx::kEntryNameSize) {
      return Error{"entry name '" + Windows1251ToUtf8(entry.name) + "' does not fit 31 bytes"};
    }
  }
  return WriteInOrder(entries, options, output);
}

}  // namespace brxpack
