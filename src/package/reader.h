#pragma once
// The package reader: finds, maps and validates a package and loads its
// directory for the rest of the run. Every number in the package is checked
// against the mapped file here, before any other code uses it.
#include <cstdint>

#include "package/format.h"
#include "package/memory_range.h"
#include "system/system.h"

namespace brx {

enum class PackageSource {
  kOwnFile,      // the package sits behind the program image, found through the trailer
  kPackageFile,  // a package file of its own, starting at offset 0
};

enum class PackageError {
  kNone,
  kCannotOpen,
  kCannotMap,
  kNoTrailer,  // file too short for a trailer, or its magic is not "BRDX"
  kBadStart,   // packageStart leaves no room for the header
  kBadMagic,
  kEmptyDirectory,      // entryCount 0
  kNoDirectoryOffset,   // directoryOffset 0
  kBadDirectoryMethod,  // method 1
  kDirectoryOutOfRange,
  kDirectoryTooLarge,  // entryCount * 48 overflows, or cannot possibly come from its stream
  kDirectoryDamaged,   // compressed directory does not inflate to exactly entryCount * 48
  kNameNotTerminated,  // a name fills all 32 bytes
  kEntryOutOfRange,    // an entry's stored bytes reach past the package
  kSectionDamaged,     // a section entry does not produce exactly its size
  kDigestMismatch,     // the stored bytes or records differ from the package digest
  kOutOfMemory,
};

// Reader state for one run. Empty (all handles kNoHandle, no view, no
// directory) until OpenPackage fills it; ReleasePackage empties it again.
struct Package {
  Handle file = kNoHandle;
  Handle mapping = kNoHandle;
  const uint8_t* view = nullptr;
  MemoryRange bytes;          // the whole mapped file
  uint32_t packageStart = 0;  // offset of the header in the file
  uint32_t packageEnd = 0;  // offset just past the package (the trailer's offset, or the file size)
  PackageHeader header = {};
  DirectoryEntry* directory = nullptr;  // header.entryCount decoded records

  uint32_t entryCount() const { return header.entryCount; }
  // The entry's stored bytes; valid for every entry once the package is open.
  MemoryRange StoredBytes(const DirectoryEntry& entry) const;
};

// The reader's checks of one entry, for tools that name every entry failing
// them: its name ends inside its field, its stored bytes lie inside the
// package.
bool NameIsTerminated(const DirectoryEntry& entry);
bool StoredBytesInPackage(const Package& package, const DirectoryEntry& entry);

// False for a compressed entry that claims more than its stream can give
// (past deflate's ratio). The reader refuses a package with such a section;
// the file phase fails such a file before making one of the claimed size.
bool SizeFitsStream(const DirectoryEntry& entry);

// Validates the package held in fileBytes and loads its directory into
// package->directory (heap). Pure: no files, no window. On failure nothing
// is left allocated. Every section entry is produced once as a check, and a
// package that carries a digest must match it.
PackageError ParsePackage(MemoryRange fileBytes, PackageSource source, Package* package);

// The first half of ParsePackage: locates the package, checks its header and
// loads its directory, but checks no entry. For tools that must name the
// entries of a package that ParsePackage refuses. On failure nothing is left
// allocated; on success package->directory is a malloc'd block.
PackageError LoadPackageDirectory(MemoryRange fileBytes, PackageSource source, Package* package);

// Opens and maps the file, then ParsePackage. On failure releases what was
// taken and gives the reason, showing nothing; on success the package stays
// open until ReleasePackage.
PackageError OpenPackage(System& system, const char* fileName, PackageSource source,
                         Package* package);

// Frees the directory, unmaps the view, closes the mapping and the file, each
// only if held. Safe on an empty or already released package.
void ReleasePackage(System& system, Package* package);

}  // namespace brx
