// subsystem: console
// What the package digest costs PATCH.EXE under Wine: the time the
// installer's own reader takes to open a package (ParsePackage: header,
// directory, every section produced, and the digest checked when there is
// one), for a package with its digest and the same package whose digest
// entry is renamed so the reader passes over it. Both are read from the
// page cache through one mapping each, as PATCH.EXE reads them.
//
// Usage: digest_cost WITH.brx WITHOUT.brx [ROUNDS]
// Prints "<name> <fastest seconds> <median seconds>" per package.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "package/reader.h"

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Seconds of one ParsePackage of the mapped file; negative when it fails.
double TimeOpen(const brx::MemoryRange& bytes) {
  brx::Package package;
  LARGE_INTEGER start;
  LARGE_INTEGER end;
  QueryPerformanceCounter(&start);
  const brx::PackageError error =
      brx::ParsePackage(bytes, brx::PackageSource::kPackageFile, &package);
  QueryPerformanceCounter(&end);
  std::free(package.directory);
  return error == brx::PackageError::kNone ? Seconds(start, end) : -1.0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: digest_cost WITH.brx WITHOUT.brx [ROUNDS]\n");
    return 2;
  }
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 7;
  std::vector<brx::MemoryRange> files;
  for (int i = 1; i <= 2; ++i) {
    const HANDLE file = CreateFileA(argv[i], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    const HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    const void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
    if (view == nullptr) {
      std::fprintf(stderr, "cannot map %s\n", argv[i]);
      return 2;
    }
    files.push_back({static_cast<const uint8_t*>(view), GetFileSize(file, nullptr)});
  }
  std::vector<double> times[2];
  // Alternating, after one untimed pass each that brings the pages in.
  for (int round = -1; round < rounds; ++round) {
    for (int i = 0; i < 2; ++i) {
      const double seconds = TimeOpen(files[i]);
      if (seconds < 0) {
        std::fprintf(stderr, "the reader refuses %s\n", argv[i + 1]);
        return 1;
      }
      if (round >= 0) times[i].push_back(seconds);
    }
  }
  for (int i = 0; i < 2; ++i) {
    std::sort(times[i].begin(), times[i].end());
    std::printf("%s %.4f %.4f\n", argv[i + 1], times[i].front(), times[i][times[i].size() / 2]);
  }
  return 0;
}
