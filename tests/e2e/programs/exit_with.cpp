// subsystem: console
// A program for the commands phase: leaves a note that it ran, optionally
// keeps busy for a while, and ends with the exit code it is given. The
// installer must not read that code: only the error file reports failure.
//
// Usage (as the installer starts it, "DUMMY %s"):
//   DUMMY CODE [--note FILE] [--sleep MS] [--done FILE]
// The note, written to FILE in the current folder as the program starts,
// holds the command line as received and the current folder, one per line.
// The --done file is written just before the program ends, so the bench
// knows the span in which the installer waited for it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: exit_with CODE [--note FILE] [--sleep MS] [--done FILE]\n");
    return 2;
  }
  int code = std::atoi(argv[1]);
  const char* note = nullptr;
  const char* done = nullptr;
  DWORD sleep_ms = 0;
  for (int i = 2; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--note") == 0) note = argv[i + 1];
    if (std::strcmp(argv[i], "--sleep") == 0) sleep_ms = std::strtoul(argv[i + 1], nullptr, 10);
    if (std::strcmp(argv[i], "--done") == 0) done = argv[i + 1];
  }
  if (note) {
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, folder);
    FILE* file = std::fopen(note, "wb");
    if (!file) return 100;
    std::fprintf(file, "%s\r\n%s\r\n", GetCommandLineA(), folder);
    std::fclose(file);
  }
  // A workload standing for a long-running tool, not a synchronisation.
  if (sleep_ms) Sleep(sleep_ms);
  if (done) {
    FILE* file = std::fopen(done, "wb");
    if (!file) return 101;
    std::fclose(file);
  }
  return code;
}
