// subsystem: windows
// Stands for the installed program that an update targets. The installer
// only checks that this file exists and may replace it; it never runs it.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return 0;
}
