// The native inflate floor of make bench: every compressed file entry of a
// package inflated into memory with zlib, and nothing else. Added to the
// time of `cp -r` of the uncompressed tree it gives the least that any
// extractor of the package can take on this machine: the inflating plus
// the writing of the same bytes.
//
// Usage: inflate_floor PACKAGE
// Prints "<files> files, <bytes> bytes inflated"; exit 1 when a stream does
// not give exactly its entry's size, 2 for a bad call or package.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "package/inflate_stream.h"
#include "package/reader.h"

namespace {

// The package through a read-only mapping, as brxpack and the installer
// read it, so no copy through a read buffer is counted.
brx::MemoryRange MapWhole(const char* path) {
  const int descriptor = open(path, O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return {};
  struct stat status;
  if (fstat(descriptor, &status) != 0 || status.st_size == 0 || status.st_size > UINT32_MAX) {
    close(descriptor);
    return {};
  }
  void* bytes =
      mmap(nullptr, static_cast<size_t>(status.st_size), PROT_READ, MAP_PRIVATE, descriptor, 0);
  close(descriptor);  // the mapping keeps the file
  if (bytes == MAP_FAILED) return {};
  return {static_cast<const uint8_t*>(bytes), static_cast<uint32_t>(status.st_size)};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: inflate_floor PACKAGE\n");
    return 2;
  }
  const brx::MemoryRange file = MapWhole(argv[1]);
  brx::Package package;
  if (file.data == nullptr || brx::ParsePackage(file, brx::PackageSource::kPackageFile, &package) !=
                                  brx::PackageError::kNone) {
    std::fprintf(stderr, "inflate_floor: %s is not a readable package\n", argv[1]);
    return 2;
  }
  uint32_t largest = 0;
  for (uint32_t i = 0; i < package.entryCount(); ++i) {
    if (package.directory[i].size > largest) largest = package.directory[i].size;
  }
  // One buffer for all: its pages are faulted in once, so what is timed is
  // zlib's work, while the writing is cp's part of the floor.
  std::vector<uint8_t> buffer(largest);
  unsigned files = 0;
  unsigned long long inflated = 0;
  for (uint32_t i = 0; i < package.entryCount(); ++i) {
    const brx::DirectoryEntry& entry = package.directory[i];
    if (entry.IsSection() || !entry.IsCompressed()) continue;
    const brx::MemoryRange stored = package.StoredBytes(entry);
    if (!brx::InflateStream(stored.data, stored.size, buffer.data(), entry.size)) {
      std::fprintf(stderr, "inflate_floor: entry %s does not inflate to %u bytes\n", entry.name,
                   entry.size);
      return 1;
    }
    ++files;
    inflated += entry.size;
  }
  std::printf("%u files, %llu bytes inflated\n", files, inflated);
  return 0;
}
