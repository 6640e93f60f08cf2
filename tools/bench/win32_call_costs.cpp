// subsystem: console
// What each Win32 call costs under Wine that PATCH.EXE makes for every file
// and the bare floor does not: the status line set from the worker thread
// (a message to the window thread, which repaints the line), the folder
// creation that finds the folder there, the look for a folder at the
// destination, the move and the deletes that find no file. make bench multiplies these by the calls
// per file to explain the distance between PATCH.EXE and the floor.
//
// Usage: call_costs FOLDER [PATCH_EXE [COUNT]]
// FOLDER must exist and be writable. With PATCH_EXE the status line is the
// one of its own progress window (dialog 101 from its resources), else a
// plain static control. Prints one line per call kind:
// "<name> <microseconds per call>".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kStatusId = 1000;  // as in src/resources/resource_ids.h
constexpr int kProgressDialog = 101;
HWND window = nullptr;
HANDLE windowReady = nullptr;
volatile LONG stopPumping = 0;
const char* dialogSource = nullptr;

INT_PTR CALLBACK ProgressProc(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG;
}

// A window thread as the installer's: a small window with a status line,
// pumping messages and otherwise asleep in MsgWaitForMultipleObjects.
DWORD WINAPI WindowThread(void*) {
  HMODULE resources =
      dialogSource ? LoadLibraryExA(dialogSource, nullptr, LOAD_LIBRARY_AS_DATAFILE) : nullptr;
  if (resources) {
    window =
        CreateDialogParamA(resources, MAKEINTRESOURCEA(kProgressDialog), nullptr, ProgressProc, 0);
    ShowWindow(window, SW_SHOW);
  } else {
    window = CreateWindowExA(0, "STATIC", "call costs", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
                             420, 160, nullptr, nullptr, nullptr, nullptr);
    CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 8, 8, 400, 48, window,
                    reinterpret_cast<HMENU>(kStatusId), nullptr, nullptr);
  }
  SetEvent(windowReady);
  MSG message;
  while (!stopPumping) {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT);
  }
  DestroyWindow(window);
  return 0;
}

template <typename Call>
void Time(const char* name, int count, Call call) {
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  for (int i = 0; i < count; ++i) call(i);
  QueryPerformanceCounter(&end);
  std::printf("%s %.1f\n", name,
              static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 /
                  static_cast<double>(frequency.QuadPart) / count);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: call_costs FOLDER [PATCH_EXE [COUNT]]\n");
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "\\";
  dialogSource = argc > 2 ? argv[2] : nullptr;
  const int count = argc > 3 ? std::atoi(argv[3]) : 2000;
  windowReady = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = CreateThread(nullptr, 0, WindowThread, nullptr, 0, nullptr);
  if (thread == nullptr || WaitForSingleObject(windowReady, 30000) != WAIT_OBJECT_0 ||
      window == nullptr) {
    std::fprintf(stderr, "call_costs: no window thread\n");
    return 1;
  }
  const std::string existing = folder + "present";
  const std::string missing = folder + "missing.dat";
  const std::string backup = missing + ".bak";
  CreateDirectoryA(existing.c_str(), nullptr);

  char text[600];
  Time("status_text", count, [&](int i) {
    std::snprintf(text, sizeof text,
                  "\xCE\xE1\xED\xEE\xE2\xEB\xFF\xE5\xEC \xF4\xE0\xE9\xEB "
                  "dir%d\\dir%d\\file%04d.txt....",
                  i % 10, i % 7, i);
    SetDlgItemTextA(window, kStatusId, text);
  });
  Time("message_round_trip", count,
       [&](int) { SendMessageA(GetDlgItem(window, kStatusId), WM_NULL, 0, 0); });
  Time("existing_folder", count, [&](int) { CreateDirectoryA(existing.c_str(), nullptr); });
  Time("move_missing", count, [&](int) { MoveFileA(missing.c_str(), backup.c_str()); });
  Time("delete_missing", count, [&](int) { DeleteFileA(missing.c_str()); });
  Time("attributes_missing", count, [&](int) { GetFileAttributesA(missing.c_str()); });

  RemoveDirectoryA(existing.c_str());
  stopPumping = 1;
  PostMessageA(window, WM_NULL, 0, 0);
  WaitForSingleObject(thread, 30000);
  return 0;
}
