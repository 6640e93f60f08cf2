// subsystem: windows
// Brindlex Notes: the sample program the demo installs and then updates. It
// shows which version of its settings file it finds beside itself.
#include <windows.h>

#include <cstdio>
#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return 1;
  char* slash = std::strrchr(path, '\\');
  if (slash == nullptr) return 1;
  std::strcpy(slash + 1, "notes.ini");

  char version[64];
  GetPrivateProfileStringA("notes", "version", "?", version, sizeof version, path);
  char text[128];
  std::snprintf(text, sizeof text, "Brindlex Notes %s", version);
  MessageBoxA(nullptr, text, "Brindlex Notes", MB_OK | MB_ICONINFORMATION);
  return 0;
}
