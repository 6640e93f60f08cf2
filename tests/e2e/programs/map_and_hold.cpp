// subsystem: console
// Writes part of a new file through a mapped view, as the installer writes
// its files, and then waits to be killed without unmapping or closing
// anything: the bench kills its process and looks at what of the view
// reached the file.
//
// Usage: map_and_hold FILE SIZE WRITTEN READY [SECONDS]
// Creates FILE with a read-write mapping of SIZE bytes, writes the first
// WRITTEN bytes of the view (byte i is (i * 131 + i / 4096) mod 256), then
// creates READY and waits. Ends by itself with exit code 3 after SECONDS
// (60 by default), so a bench that never kills it cannot leave it behind.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: map_and_hold FILE SIZE WRITTEN READY [SECONDS]\n");
    return 2;
  }
  const DWORD size = std::strtoul(argv[2], nullptr, 10);
  const DWORD written = std::strtoul(argv[3], nullptr, 10);
  HANDLE file = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  HANDLE mapping = file == INVALID_HANDLE_VALUE
                       ? nullptr
                       : CreateFileMappingA(file, nullptr, PAGE_READWRITE, 0, size, nullptr);
  auto* view = mapping
                   ? static_cast<unsigned char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0))
                   : nullptr;
  if (view == nullptr || written > size) {
    std::fprintf(stderr, "map_and_hold: cannot map %s: error %lu\n", argv[1], GetLastError());
    return 1;
  }
  for (DWORD i = 0; i < written; ++i) view[i] = static_cast<unsigned char>(i * 131 + i / 4096);
  HANDLE ready = CreateFileA(argv[4], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  CloseHandle(ready);
  Sleep((argc > 5 ? std::strtoul(argv[5], nullptr, 10) : 60) * 1000);
  return 3;
}
