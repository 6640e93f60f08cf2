// subsystem: console
// Holds a file open without any sharing, as a running program holds its
// files, until the bench releases it.
//
// Usage: hold_file FILE READY RELEASE [SECONDS]
// Creates READY once FILE is open, then waits until RELEASE exists (or
// SECONDS pass, 120 by default, so a forgotten holder cannot outlive the
// test run) and closes FILE.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: hold_file FILE READY RELEASE [SECONDS]\n");
    return 2;
  }
  HANDLE held = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (held == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "hold_file: cannot open %s: error %lu\n", argv[1], GetLastError());
    return 1;
  }
  HANDLE ready = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  CloseHandle(ready);
  ULONGLONG limit =
      GetTickCount64() + (argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 120) * 1000;
  int result = 0;
  while (GetFileAttributesA(argv[3]) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount64() > limit) {
      std::fprintf(stderr, "hold_file: %s never appeared; letting go of %s\n", argv[3], argv[1]);
      result = 3;
      break;
    }
    Sleep(20);
  }
  CloseHandle(held);
  return result;
}
