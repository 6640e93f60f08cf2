// subsystem: windows
// A known window for checking the UI robot itself: a dialog with the
// progress window's caption and controls, driven by a script on its command
// line, so the bench can tell a robot fault from a PATCH.EXE fault.
//
// Steps, run in order on a second thread:
//   status:HEX        status line (control 1000) := the Windows-1251 bytes
//   box:STYLE:CAP:TXT MessageBoxA owned by the dialog (STYLE decimal, CAP and
//                     TXT hex); the answer (IDOK 1, IDCANCEL 2) is appended
//                     to control 1001 as one digit
//   sleep:MS          keep the worker busy for MS milliseconds
//   mark:FILE         create FILE in the current folder (a point in time
//                     for the bench)
//   end:wait          show the "OK" button and wait for its click
//   end:close         show the "OK" button and close without a click
// and, anywhere, to give the bench a window thread of known behaviour:
//   loop:spin         the message loop polls without pause
//   burn:MS           the window thread spends MS milliseconds of its own CPU
//                     time before its message loop starts
// The exit code is the number of boxes answered with OK, so the robot's
// exit-code report is checked too.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kStatusId = 1000;
constexpr int kSecondLineId = 1001;

HWND g_dialog = nullptr;
volatile LONG g_state = 0;  // 0 running, 1 waiting for the click, 2 end
int g_oks = 0;

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<char>(std::strtol(hex.substr(i, 2).c_str(), nullptr, 16)));
  }
  return bytes;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (c == separator) {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

// A dialog template in memory: the progress window's caption, style and
// controls, without a resource file.
class TemplateWriter {
 public:
  void Dialog(DWORD style, short cx, short cy, const wchar_t* caption, WORD controls) {
    Dword(style);
    Dword(0);
    Word(controls);
    Word(0), Word(0), Word(cx), Word(cy);
    Word(0), Word(0);  // no menu, default class
    Text(caption);
  }
  void Control(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom,
               const wchar_t* text) {
    while (words_.size() % 2) Word(0);  // DWORD alignment
    Dword(style);
    Dword(0);
    Word(x), Word(y), Word(cx), Word(cy), Word(id);
    Word(0xFFFF), Word(atom);
    Text(text);
    Word(0);  // no creation data
  }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Word(WORD value) { words_.push_back(value); }
  void Dword(DWORD value) { Word(LOWORD(value)), Word(HIWORD(value)); }
  void Text(const wchar_t* text) {
    for (; *text; ++text) Word(*text);
    Word(0);
  }
  std::vector<WORD> words_;
};

INT_PTR CALLBACK DialogProc(HWND, UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_COMMAND && LOWORD(wparam) == IDOK && HIWORD(wparam) == 0 && g_state == 1) {
    InterlockedExchange(&g_state, 2);
    return TRUE;
  }
  return message == WM_INITDIALOG ? FALSE : 0;
}

DWORD WINAPI RunSteps(void* argument) {
  auto* steps = static_cast<std::vector<std::string>*>(argument);
  std::string answers;
  LONG final_state = 1;
  for (const std::string& step : *steps) {
    std::vector<std::string> part = Split(step, ':');
    if (part[0] == "status" && part.size() == 2) {
      SetDlgItemTextA(g_dialog, kStatusId, FromHex(part[1]).c_str());
    } else if (part[0] == "box" && part.size() == 4) {
      int answer = MessageBoxA(g_dialog, FromHex(part[3]).c_str(), FromHex(part[2]).c_str(),
                               static_cast<UINT>(std::atoi(part[1].c_str())));
      g_oks += answer == IDOK;
      answers += static_cast<char>('0' + answer);
      SetDlgItemTextA(g_dialog, kSecondLineId, answers.c_str());
    } else if (part[0] == "mark" && part.size() == 2) {
      CloseHandle(CreateFileA(part[1].c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    } else if (part[0] == "sleep" && part.size() == 2) {
      Sleep(static_cast<DWORD>(std::atoi(part[1].c_str())));
    } else if (step == "end:close") {
      final_state = 2;
    }
  }
  ShowWindow(GetDlgItem(g_dialog, IDOK), SW_SHOW);
  SetDlgItemTextA(g_dialog, IDOK, "OK");
  InterlockedExchange(&g_state, final_state);
  return 0;
}

ULONGLONG OwnCpuMs() {
  FILETIME created, ended, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user);
  ULARGE_INTEGER k{{kernel.dwLowDateTime, kernel.dwHighDateTime}};
  ULARGE_INTEGER u{{user.dwLowDateTime, user.dwHighDateTime}};
  return (k.QuadPart + u.QuadPart) / 10000;
}

// Counted in CPU time, not wall time, so the amount is the same however
// loaded the machine is.
void BurnCpu(ULONGLONG milliseconds) {
  ULONGLONG until = OwnCpuMs() + milliseconds;
  volatile unsigned spins = 0;
  while (milliseconds && OwnCpuMs() < until) {
    for (int i = 0; i < 100000; ++i) spins = spins + 1;
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  std::vector<std::string> steps(__argv + 1, __argv + __argc);
  TemplateWriter dialog;
  dialog.Dialog(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 300, 110, L"Brindlex updater",
                3);
  dialog.Control(WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 128, 93, 50, 14, IDOK, 0x0080, L"Done");
  dialog.Control(WS_CHILD | WS_VISIBLE, 25, 27, 251, 16, kStatusId, 0x0082, L"");
  dialog.Control(WS_CHILD | WS_VISIBLE, 25, 47, 251, 36, kSecondLineId, 0x0082, L"");
  g_dialog = CreateDialogIndirectParamA(instance, dialog.Get(), nullptr, DialogProc, 0);
  ShowWindow(GetDlgItem(g_dialog, IDOK), SW_HIDE);
  ShowWindow(g_dialog, SW_SHOW);
  bool spin = false;
  ULONGLONG burn_ms = 0;
  for (const std::string& step : steps) {
    spin = spin || step == "loop:spin";
    if (step.rfind("burn:", 0) == 0) burn_ms = std::strtoull(step.c_str() + 5, nullptr, 10);
  }
  BurnCpu(burn_ms);
  HANDLE worker = CreateThread(nullptr, 0, RunSteps, &steps, 0, nullptr);
  // The worker's handle is waited on only while it runs: once it has
  // ended, the handle stays signalled and the wait would not block.
  DWORD waited = 1;
  while (g_state < 2) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (spin || g_state >= 2) continue;
    if (MsgWaitForMultipleObjects(waited, &worker, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 &&
        waited == 1) {
      waited = 0;
    }
  }
  WaitForSingleObject(worker, INFINITE);
  DestroyWindow(g_dialog);
  return g_oks;
}
