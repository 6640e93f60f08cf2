#include "package/reader.h"

#include <cstdlib>
#include <cstring>

#include "package/entry_lookup.h"
#include "package/inflate_stream.h"
#include "package/package_digest.h"
#include "package/signed_image.h"

namespace brx {

// A compressed directory is inflated straight into the record array and then
// decoded in place, so the array must have the records' packed size.
static_assert(sizeof(DirectoryEntry) == kDirectoryEntrySize, "DirectoryEntry must be packed");

namespace {

// All arithmetic in 64 bits, so no sum of two 32-bit numbers can wrap.
bool FitsInPackage(uint32_t offset, uint64_t length, uint32_t packageSize) {
  return uint64_t{offset} + length <= packageSize;
}

PackageError LocatePackage(MemoryRange file, PackageSource source, uint32_t* start, uint32_t* end) {
  if (source == PackageSource::kPackageFile) {
    *start = 0;
    *end = file.size;
  } else {
    if (file.size < kTrailerSize) return PackageError::kNoTrailer;
    uint32_t trailerOffset = file.size - kTrailerSize;
    if (std::memcmp(file.data + file.size - sizeof kTrailerMagic, kTrailerMagic,
                    sizeof kTrailerMagic) != 0) {
      // A signed executable ends with its certificate table, the trailer
      // right before it; an unsigned file is read exactly as before.
      const std::optional<uint32_t> beforeTable = FindTrailerBeforeCertificateTable(file);
      if (!beforeTable) return PackageError::kNoTrailer;
      trailerOffset = *beforeTable;
    }
    const PackageTrailer trailer = DecodeTrailer(file.data + trailerOffset);
    *start = trailer.packageStart;
    *end = trailerOffset;
  }
  if (*start > *end || *end - *start < kHeaderSize) return PackageError::kBadStart;
  return PackageError::kNone;
}

PackageError CheckHeader(const PackageHeader& header) {
  if (std::memcmp(header.magic, kHeaderMagic, sizeof kHeaderMagic) != 0) {
    return PackageError::kBadMagic;
  }
  if (header.entryCount == 0) return PackageError::kEmptyDirectory;
  if (header.directoryOffset == 0) return PackageError::kNoDirectoryOffset;
  if ((header.directoryFlags & kDirectoryMethodMask) == kDirectoryRejected) {
    return PackageError::kBadDirectoryMethod;
  }
  return PackageError::kNone;
}

// Copies or inflates the directory into a new record array (*directory).
PackageError LoadDirectory(const uint8_t* package, uint32_t packageSize,
                           const PackageHeader& header, DirectoryEntry** directory) {
  const uint64_t directorySize = uint64_t{header.entryCount} * kDirectoryEntrySize;
  if (directorySize > UINT32_MAX) return PackageError::kDirectoryTooLarge;
  const bool compressed = (header.directoryFlags & kDirectoryMethodMask) == kDirectoryCompressed;
  const uint64_t storedSize = compressed ? header.directoryCompressedSize : directorySize;
  if (!FitsInPackage(header.directoryOffset, storedSize, packageSize)) {
    return PackageError::kDirectoryOutOfRange;
  }
  if (compressed && !CouldInflateTo(header.directoryCompressedSize, directorySize)) {
    return PackageError::kDirectoryTooLarge;
  }

  auto* entries = static_cast<DirectoryEntry*>(std::malloc(static_cast<size_t>(directorySize)));
  if (entries == nullptr) return PackageError::kOutOfMemory;
  const uint8_t* source = package + header.directoryOffset;
  if (compressed) {
    auto* raw = reinterpret_cast<uint8_t*>(entries);
    if (!InflateStream(source, header.directoryCompressedSize, raw,
                       static_cast<uint32_t>(directorySize))) {
      std::free(entries);
      return PackageError::kDirectoryDamaged;
    }
    // Each record goes through a copy, so decoding never reads bytes it has
    // already overwritten.
    for (uint32_t i = 0; i < header.entryCount; ++i) {
      uint8_t record[kDirectoryEntrySize];
      std::memcpy(record, raw + uint64_t{i} * kDirectoryEntrySize, kDirectoryEntrySize);
      entries[i] = DecodeDirectoryEntry(record);
    }
  } else {
    for (uint32_t i = 0; i < header.entryCount; ++i) {
      entries[i] = DecodeDirectoryEntry(source + uint64_t{i} * kDirectoryEntrySize);
    }
  }
  *directory = entries;
  return PackageError::kNone;
}

PackageError CheckEntry(const Package& package, const DirectoryEntry& entry) {
  if (!NameIsTerminated(entry)) return PackageError::kNameNotTerminated;
  if (!StoredBytesInPackage(package, entry)) return PackageError::kEntryOutOfRange;
  // A file entry that claims more than its stream can give fails alone in
  // the file phase; a section that does is damaged now, before a block of
  // that size is asked for.
  if (entry.IsSection() && !SizeFitsStream(entry)) return PackageError::kSectionDamaged;
  return PackageError::kNone;
}

// Produces every compressed section once, so a run never starts on a damaged
// script. Stored sections are plain copies of checked ranges and cannot fail.
PackageError CheckSections(const Package& package) {
  for (uint32_t i = 0; i < package.entryCount(); ++i) {
    const DirectoryEntry& entry = package.directory[i];
    if (!entry.IsSection() || !entry.IsCompressed()) continue;
    auto* scratch = static_cast<uint8_t*>(std::malloc(entry.size != 0 ? entry.size : 1));
    if (scratch == nullptr) return PackageError::kOutOfMemory;
    const bool produced = ExtractEntry(package, entry, scratch);
    std::free(scratch);
    if (!produced) return PackageError::kSectionDamaged;
  }
  return PackageError::kNone;
}

// A package that carries a digest is checked whole before the run reads
// any entry for its work: one byte changed in any entry's stored bytes or
// in any directory record refuses it, so a damaged download changes
// nothing. Without the section every file is still checked as it is
// produced, and fails alone.
PackageError CheckDigest(const Package& package) {
  const uint32_t digestIndex = FindEntry(package, kDigestSection);
  if (digestIndex == kEntryNotFound) return PackageError::kNone;
  const DirectoryEntry& digestEntry = package.directory[digestIndex];
  uint8_t stored[kDigestSize];
  if (digestEntry.size != kDigestSize || !ExtractEntry(package, digestEntry, stored)) {
    return PackageError::kDigestMismatch;
  }
  PackageDigest digest;
  for (uint32_t i = 0; i < package.entryCount(); ++i) {
    const DirectoryEntry& entry = package.directory[i];
    if (i == digestIndex) {
      digest.AddDigestEntry(entry);
    } else {
      digest.AddEntry(entry, package.StoredBytes(entry));
    }
  }
  return digest.value() == ReadLe32(stored) ? PackageError::kNone : PackageError::kDigestMismatch;
}

PackageError LoadInto(MemoryRange fileBytes, PackageSource source, Package* package) {
  PackageError error =
      LocatePackage(fileBytes, source, &package->packageStart, &package->packageEnd);
  if (error != PackageError::kNone) return error;
  package->bytes = fileBytes;
  const uint8_t* start = fileBytes.data + package->packageStart;
  const uint32_t packageSize = package->packageEnd - package->packageStart;

  package->header = DecodeHeader(start);
  error = CheckHeader(package->header);
  if (error != PackageError::kNone) return error;
  return LoadDirectory(start, packageSize, package->header, &package->directory);
}

PackageError CheckEntries(const Package& package) {
  for (uint32_t i = 0; i < package.entryCount(); ++i) {
    const PackageError error = CheckEntry(package, package.directory[i]);
    if (error != PackageError::kNone) return error;
  }
  const PackageError error = CheckSections(package);
  return error != PackageError::kNone ? error : CheckDigest(package);
}

// Leaves the package empty after a failure, with nothing allocated.
PackageError EmptiedOnFailure(PackageError error, Package* package) {
  if (error != PackageError::kNone) {
    std::free(package->directory);
    package->directory = nullptr;
    package->bytes = {};
    package->packageStart = 0;
    package->packageEnd = 0;
    package->header = {};
  }
  return error;
}

}  // namespace

bool NameIsTerminated(const DirectoryEntry& entry) {
  return std::memchr(entry.name, 0, kEntryNameSize) != nullptr;
}

bool StoredBytesInPackage(const Package& package, const DirectoryEntry& entry) {
  return FitsInPackage(entry.offset, entry.StoredSize(), package.packageEnd - package.packageStart);
}

bool SizeFitsStream(const DirectoryEntry& entry) {
  return !entry.IsCompressed() || CouldInflateTo(entry.compressedSize, entry.size);
}

MemoryRange Package::StoredBytes(const DirectoryEntry& entry) const {
  return {bytes.data + packageStart + entry.offset, entry.StoredSize()};
}

PackageError LoadPackageDirectory(MemoryRange fileBytes, PackageSource source, Package* package) {
  package->directory = nullptr;
  return EmptiedOnFailure(LoadInto(fileBytes, source, package), package);
}

PackageError ParsePackage(MemoryRange fileBytes, PackageSource source, Package* package) {
  package->directory = nullptr;
  PackageError error = LoadInto(fileBytes, source, package);
  if (error == PackageError::kNone) error = CheckEntries(*package);
  return EmptiedOnFailure(error, package);
}

namespace {

PackageError MapPackageFile(System& system, const char* fileName, Package* package,
                            uint32_t* fileSize) {
  package->file = system.OpenFileForReading(fileName);
  if (package->file == kNoHandle) return PackageError::kCannotOpen;
  const std::optional<uint32_t> size = system.FileSize(package->file);
  if (!size) return PackageError::kCannotMap;
  // An empty file cannot be mapped on Windows; it is no package either way.
  package->mapping = system.CreateMapping(package->file, MapAccess::kRead, 0);
  if (package->mapping == kNoHandle) return PackageError::kCannotMap;
  package->view = system.MapView(package->mapping, MapAccess::kRead);
  if (package->view == nullptr) return PackageError::kCannotMap;
  *fileSize = *size;
  return PackageError::kNone;
}

}  // namespace

PackageError OpenPackage(System& system, const char* fileName, PackageSource source,
                         Package* package) {
  // A package still held from before is let go rather than leaked.
  ReleasePackage(system, package);
  uint32_t fileSize = 0;
  PackageError error = MapPackageFile(system, fileName, package, &fileSize);
  if (error == PackageError::kNone) {
    error = ParsePackage({package->view, fileSize}, source, package);
  }
  if (error != PackageError::kNone) ReleasePackage(system, package);
  return error;
}

void ReleasePackage(System& system, Package* package) {
  std::free(package->directory);
  // Results are not looked at: nothing more can be done for a handle that
  // does not close, and the run is ending.
  if (package->view != nullptr) system.UnmapView(package->view);
  if (package->mapping != kNoHandle) system.Close(package->mapping);
  if (package->file != kNoHandle) system.Close(package->file);
  *package = Package{};
}

}  // namespace brx
