// subsystem: console
// Prints the ANSI code page Wine gives programs. The Wine batch, the demo
// and the bench refuse to run unless it is 1251: every user text is a
// Windows-1251 byte string.
#include <windows.h>

#include <cstdio>

int main() {
  std::printf("%u\n", GetACP());
  return 0;
}
