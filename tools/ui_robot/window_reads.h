#pragma once
// Reading another process's windows without sending them messages.
#include <windows.h>

#include <string>
#include <vector>

namespace robot {

// Dialogs and message boxes alike are windows of the system's dialog class.
inline constexpr char kDialogClass[] = "#32770";

// GetWindowTextW on another process's window reads the text the system
// keeps for it and sends no message, so a busy or hung program cannot stall
// the robot. The product's texts are Windows-1251, so they convert back
// exactly.
inline std::string WindowText(HWND window) {
  // The status line holds up to 65,535 characters; one buffer serves every
  // read of this single-threaded program.
  static std::vector<wchar_t> wide(65536);
  int length = GetWindowTextW(window, wide.data(), static_cast<int>(wide.size()));
  if (length <= 0) return std::string();
  int size = WideCharToMultiByte(1251, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(1251, 0, wide.data(), length, bytes.data(), size, nullptr, nullptr);
  return bytes;
}

inline std::string ClassName(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

inline bool OwnStyleVisible(HWND window) {
  return (GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

struct TopWindowSearch {
  DWORD process_id;
  std::vector<HWND> found;
};

inline BOOL CALLBACK CollectTopWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<TopWindowSearch*>(context);
  DWORD owner_process = 0;
  GetWindowThreadProcessId(window, &owner_process);
  if (owner_process == search->process_id && ClassName(window) == kDialogClass) {
    search->found.push_back(window);
  }
  return TRUE;
}

inline std::vector<HWND> DialogsOfProcess(DWORD process_id) {
  TopWindowSearch search{process_id, {}};
  EnumWindows(CollectTopWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

inline BOOL CALLBACK CollectChild(HWND window, LPARAM context) {
  reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
  return TRUE;
}

inline std::vector<HWND> Children(HWND window) {
  std::vector<HWND> children;
  EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

}  // namespace robot
