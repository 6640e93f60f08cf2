// A DLL that does nothing: copied beside a program under the name of a DLL
// it may load, it shows in Wine's load log whether the search found it there.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
  return TRUE;
}
