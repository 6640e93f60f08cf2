// subsystem: console
// The UI robot through which the end-to-end tests, make demo and make bench
// run PATCH.EXE. It starts the program with an exact command line and
// behaves like a user: it watches the progress window, answers each message
// box from a script, may try the caption's close box, clicks "OK" when it is
// offered, and waits for the process to end. Whatever it sees goes to a
// report of JSON lines; texts are hex of their Windows-1251 bytes, so its
// readers compare them byte for byte.
//
// Usage: ui_robot --report FILE --cmdline-hex HEX [--app PATH] [--cwd DIR]
//                 [--answer OK|Cancel|Close]... [--close-box] [--early-click]
//                 [--no-click] [--timeout SECONDS] [--pause-dir DIR]
//
// With --pause-dir the robot stops before it answers each message box and
// before its first "OK" click: it writes DIR\<moment>.ready holding the
// window's screen rectangle ("left top right bottom") and goes on once
// DIR\<moment>.done exists (at most kPauseLimitMs later). The moments are
// box1, box2, ... and finished; the demo takes its screenshots there.
//
// Window state is sampled every few milliseconds: that is observation, not
// synchronisation, so a text shown for less than a sample may be missed.
// Texts that a test relies on are stable ones (the last status text, the
// state while a message box waits for its answer).
//
// Exit code: 0 when the run was observed to its end, 2 for a bad call,
// 3 when the overall time bound ran out (PATCH.EXE is then terminated).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "icon_classifier.h"
#include "report.h"
#include "thread_cpu.h"
#include "window_reads.h"

namespace {

using robot::Children;
using robot::ClassName;
using robot::DialogsOfProcess;
using robot::Event;
using robot::IconClassifier;
using robot::OwnStyleVisible;
using robot::Report;
using robot::ThreadCpuMs;
using robot::WindowText;

constexpr char kProgressCaption[] = "Brindlex updater";
constexpr int kButtonId = 1;
constexpr int kStatusId = 1000;
constexpr int kSecondLineId = 1001;
constexpr DWORD kPollMs = 10;
// A finished run keeps its window until the click; the robot looks at the
// waiting window this long before it clicks, and clicks again at this pace
// should the first click land before the run has published its end.
constexpr ULONGLONG kDwellBeforeClickMs = 150;
constexpr ULONGLONG kClickRepeatMs = 400;
constexpr ULONGLONG kBoxAnswerRepeatMs = 1000;
constexpr ULONGLONG kIconSettleMs = 3000;
constexpr UINT kSendTimeoutMs = 2000;
constexpr ULONGLONG kPauseLimitMs = 60000;

struct Options {
  std::string report;
  std::string command_line;
  std::string application;
  std::string current_folder;
  std::vector<std::string> answers;
  bool close_box = false;
  bool early_click = false;
  bool click = true;
  ULONGLONG timeout_ms = 60000;
  std::string pause_dir;
};

// A message box could carry the same caption; only the progress window has
// the status line.
bool IsProgressWindow(HWND window) {
  return WindowText(window) == kProgressCaption && GetDlgItem(window, kStatusId) != nullptr;
}

struct ButtonState {
  bool visible = false;
  std::string text;
  bool operator!=(const ButtonState& other) const {
    return visible != other.visible || text != other.text;
  }
};

class Robot {
 public:
  Robot(const Options& options, Report& report) : options_(options), report_(report) {}

  int Run() {
    if (!Start()) return 2;
    int result = Watch();
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
    return result;
  }

 private:
  bool Start() {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::vector<char> command(options_.command_line.begin(), options_.command_line.end());
    command.push_back('\0');
    Event start("start");
    start.Text("cmdline", options_.command_line);
    report_.Write(start);
    BOOL started =
        CreateProcessA(options_.application.empty() ? nullptr : options_.application.c_str(),
                       command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       options_.current_folder.empty() ? nullptr : options_.current_folder.c_str(),
                       &startup, &process_);
    if (!started) {
      Event failed("start_failed");
      failed.Num("error", GetLastError());
      report_.Write(failed);
      std::fprintf(stderr, "ui_robot: CreateProcessA failed, error %lu\n", GetLastError());
      return false;
    }
    return true;
  }

  int Watch() {
    for (;;) {
      if (WaitForSingleObject(process_.hProcess, kPollMs) == WAIT_OBJECT_0) return Finish();
      if (report_.Now() > options_.timeout_ms) return TimeOut();
      Look();
    }
  }

  void Look() {
    // Each dialog is sorted once: one whose visibility changes during this
    // pass must not be taken for a message box.
    std::vector<HWND> boxes;
    for (HWND dialog : DialogsOfProcess(process_.dwProcessId)) {
      if (dialog == progress_) continue;
      if (IsProgressWindow(dialog)) {
        if (!progress_ && IsWindowVisible(dialog)) FirstSight(dialog);
      } else if (IsWindowVisible(dialog)) {
        boxes.push_back(dialog);
      }
    }
    if (progress_ && IsWindow(progress_)) {
      ObserveProgress();
      SampleCpu();
    } else if (progress_ && !window_gone_) {
      window_gone_ = true;
      Event gone("window_gone");
      gone.Num("ok_seen", ok_seen_ms_ != 0).Num("clicks", clicks_);
      report_.Write(gone);
    }
    for (HWND box : boxes) HandleBox(box);
    if (progress_ && IsWindow(progress_)) MaybeClick();
  }

  void FirstSight(HWND window) {
    progress_ = window;
    window_thread_ = GetWindowThreadProcessId(window, nullptr);
    RECT rect;
    GetWindowRect(window, &rect);
    Event seen("window");
    seen.Text("caption", WindowText(window))
        .Num("left", rect.left)
        .Num("top", rect.top)
        .Num("right", rect.right)
        .Num("bottom", rect.bottom)
        .Num("screen_width", GetSystemMetrics(SM_CXSCREEN))
        .Num("screen_height", GetSystemMetrics(SM_CYSCREEN))
        .Num("style", GetWindowLongA(window, GWL_STYLE))
        .Num("exstyle", GetWindowLongA(window, GWL_EXSTYLE));
    report_.Write(seen);
    for (HWND child : Children(window)) {
      Event control("control");
      control.Num("id", GetDlgCtrlID(child))
          .Text("class", ClassName(child))
          .Num("style", GetWindowLongA(child, GWL_STYLE))
          .Text("text", WindowText(child));
      report_.Write(control);
    }
    if (options_.close_box) TryCloseBox("start");
    if (options_.early_click) ClickWhileRunning();
  }

  // The button is hidden while the worker runs, but its command can still
  // arrive (a keyboard accelerator, a stray message); it must change nothing.
  void ClickWhileRunning() {
    DWORD_PTR ignored = 0;
    HWND button = GetDlgItem(progress_, kButtonId);
    LRESULT handled = SendMessageTimeoutA(progress_, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                                          reinterpret_cast<LPARAM>(button), SMTO_NORMAL,
                                          kSendTimeoutMs, &ignored);
    Event tried("early_click");
    tried.Num("handled", handled != 0);
    report_.Write(tried);
  }

  // The caption's close box sends WM_SYSCOMMAND SC_CLOSE, which a dialog
  // turns into WM_CLOSE and then IDCANCEL. All three are sent and wait for
  // their handling, so the window's state afterwards is their result.
  void TryCloseBox(const char* when) {
    DWORD_PTR ignored = 0;
    int handled = 0;
    handled += SendMessageTimeoutA(progress_, WM_SYSCOMMAND, SC_CLOSE, 0, SMTO_NORMAL,
                                   kSendTimeoutMs, &ignored) != 0;
    handled +=
        SendMessageTimeoutA(progress_, WM_CLOSE, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &ignored) != 0;
    handled += SendMessageTimeoutA(progress_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0,
                                   SMTO_NORMAL, kSendTimeoutMs, &ignored) != 0;
    Event tried("close_box");
    tried.Word("when", when)
        .Num("handled", handled)
        .Num("window_stayed", IsWindow(progress_) && IsWindowVisible(progress_));
    report_.Write(tried);
  }

  // A window being destroyed reads as empty texts and a hidden button; such a
  // sample is dropped rather than reported as a change.
  void ObserveProgress() {
    HWND status_line = GetDlgItem(progress_, kStatusId);
    HWND second_line = GetDlgItem(progress_, kSecondLineId);
    HWND button_window = GetDlgItem(progress_, kButtonId);
    if (!status_line || !second_line || !button_window) return;
    std::string status = WindowText(status_line);
    std::string second = WindowText(second_line);
    ButtonState button{OwnStyleVisible(button_window), WindowText(button_window)};
    if (!IsWindow(status_line) || !IsWindow(second_line) || !IsWindow(button_window)) return;
    if (!seen_status_ || status != status_) {
      seen_status_ = true;
      status_ = status;
      Event changed("status");
      changed.Text("text", status);
      report_.Write(changed);
    }
    if (!seen_second_ || second != second_) {
      seen_second_ = true;
      second_ = second;
      Event changed("line2");
      changed.Text("text", second);
      report_.Write(changed);
    }
    if (!seen_button_ || button != button_) {
      seen_button_ = true;
      button_ = button;
      Event changed("button");
      changed.Num("visible", button.visible).Text("text", button.text);
      report_.Write(changed);
    }
  }

  void SampleCpu() {
    window_thread_cpu_ms_ = ThreadCpuMs(window_thread_);
    cpu_sampled_at_ms_ = report_.Now();
  }

  void HandleBox(HWND box) {
    if (answered_.count(box)) {
      // An answer that found the box not yet ready is given again.
      if (report_.Now() - last_answer_ms_ > kBoxAnswerRepeatMs) Answer(box, last_answer_);
      return;
    }
    // The worker waits in the box, so the window's state is read again now
    // that it cannot change.
    if (progress_ && IsWindow(progress_)) ObserveProgress();
    HWND owner = GetWindow(box, GW_OWNER);
    Event seen("box");
    seen.Text("caption", WindowText(box)).Num("owned_by_progress", owner && owner == progress_);
    std::string text, buttons, icon_kind;
    bool icon = false;
    for (HWND child : Children(box)) {
      std::string class_name = ClassName(child);
      LONG style = GetWindowLongA(child, GWL_STYLE);
      if (!OwnStyleVisible(child)) continue;
      if (class_name == "Button") {
        int id = GetDlgCtrlID(child);
        buttons += buttons.empty() ? "" : "+";
        buttons += id == IDOK ? "OK" : id == IDCANCEL ? "Cancel" : "id" + std::to_string(id);
      } else if (class_name == "Static" && (style & SS_TYPEMASK) == SS_ICON) {
        DWORD_PTR handle = 0;
        SendMessageTimeoutA(child, STM_GETICON, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &handle);
        if (handle) {
          icon = true;
          icon_kind = WaitForIcon(box, child);
        }
      } else if (class_name == "Static" && text.empty()) {
        text = WindowText(child);
      }
    }
    seen.Text("text", text)
        .Word("buttons", buttons)
        .Num("icon", icon)
        .Word("icon_kind", icon ? (icon_kind.empty() ? "unknown" : icon_kind) : "none")
        .Text("status", status_)
        .Text("line2", second_)
        .Num("button_visible", button_.visible);
    std::string answer = "Cancel";
    bool scripted = next_answer_ < options_.answers.size();
    if (scripted) answer = options_.answers[next_answer_++];
    seen.Word("answer", answer).Num("scripted", scripted);
    report_.Write(seen);
    answered_.insert(box);
    PauseAt("box" + std::to_string(answered_.size()), box);
    Answer(box, answer);
  }

  // The icon is on the screen once the box has painted and Wine has passed
  // the picture on to the display; both happen soon after the box shows.
  std::string WaitForIcon(HWND box, HWND icon_control) {
    RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    ULONGLONG until = report_.Now() + kIconSettleMs;
    IconClassifier classifier;
    for (;;) {
      std::string kind = classifier.Classify(icon_control);
      if (!kind.empty() || report_.Now() > until) return kind;
      Sleep(kPollMs);
    }
  }

  void Answer(HWND box, const std::string& answer) {
    last_answer_ = answer;
    last_answer_ms_ = report_.Now();
    if (answer == "Close") {
      PostMessageA(box, WM_SYSCOMMAND, SC_CLOSE, 0);
      return;
    }
    int id = answer == "OK" ? IDOK : IDCANCEL;
    HWND button = GetDlgItem(box, id);
    if (button) {
      PostMessageA(button, BM_CLICK, 0, 0);
    } else {
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    }
  }

  void MaybeClick() {
    if (!button_.visible || button_.text != "OK") return;
    ULONGLONG now = report_.Now();
    if (!ok_seen_ms_) {
      ok_seen_ms_ = now;
      Event cpu("cpu");
      cpu.Num("window_thread_ms", static_cast<long long>(window_thread_cpu_ms_))
          .Num("wall_ms", static_cast<long long>(cpu_sampled_at_ms_));
      report_.Write(cpu);
      if (options_.close_box) TryCloseBox("finished");
      PauseAt("finished", progress_);
    }
    if (!options_.click || now - ok_seen_ms_ < kDwellBeforeClickMs) return;
    if (clicks_ && now - last_click_ms_ < kClickRepeatMs) return;
    HWND button = GetDlgItem(progress_, kButtonId);
    Event click("click");
    click.Num("window_visible", IsWindowVisible(progress_));
    report_.Write(click);
    PostMessageA(button, BM_CLICK, 0, 0);
    ++clicks_;
    last_click_ms_ = now;
  }

  // Lets an outside observer look at the screen while nothing moves: the
  // worker waits in a box, or the finished run waits for its click.
  void PauseAt(const std::string& moment, HWND window) {
    if (options_.pause_dir.empty()) return;
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT rect;
    GetWindowRect(window, &rect);
    std::string base = options_.pause_dir + "\\" + moment;
    // Written under another name and renamed, so the observer, which waits
    // for the name to appear, never reads a file still being written.
    std::string ready = base + ".ready";
    std::string writing = ready + ".part";
    if (FILE* file = std::fopen(writing.c_str(), "wb")) {
      std::fprintf(file, "%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
      std::fclose(file);
      MoveFileA(writing.c_str(), ready.c_str());
    }
    std::string done = base + ".done";
    ULONGLONG until = report_.Now() + kPauseLimitMs;
    while (GetFileAttributesA(done.c_str()) == INVALID_FILE_ATTRIBUTES) {
      if (report_.Now() > until) {
        Event late("pause_timeout");
        late.Word("moment", moment);
        report_.Write(late);
        return;
      }
      Sleep(kPollMs);
    }
    Event paused("paused");
    paused.Word("moment", moment);
    report_.Write(paused);
  }

  int Finish() {
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    Event exited("exit");
    exited.Num("code", code)
        .Num("clicks", clicks_)
        .Num("closed_without_click", clicks_ == 0)
        .Num("window_seen", progress_ != nullptr)
        .Num("ok_seen", ok_seen_ms_ != 0);
    report_.Write(exited);
    return 0;
  }

  int TimeOut() {
    std::string waiting = !progress_       ? "the progress window to appear"
                          : !ok_seen_ms_   ? "the OK button to appear"
                          : options_.click ? "the program to end after the OK click"
                                           : "the window to close without a click";
    Event timeout("timeout");
    timeout.Word("waiting_for", waiting);
    report_.Write(timeout);
    std::fprintf(stderr, "ui_robot: gave up after %llu ms waiting for %s\n",
                 static_cast<unsigned long long>(options_.timeout_ms), waiting.c_str());
    TerminateProcess(process_.hProcess, 1);
    WaitForSingleObject(process_.hProcess, 5000);
    return 3;
  }

  const Options& options_;
  Report& report_;
  PROCESS_INFORMATION process_ = {};
  HWND progress_ = nullptr;
  DWORD window_thread_ = 0;
  bool window_gone_ = false;
  bool seen_status_ = false, seen_second_ = false, seen_button_ = false;
  std::string status_, second_;
  ButtonState button_;
  std::set<HWND> answered_;
  size_t next_answer_ = 0;
  std::string last_answer_;
  ULONGLONG last_answer_ms_ = 0;
  ULONGLONG ok_seen_ms_ = 0, last_click_ms_ = 0;
  int clicks_ = 0;
  ULONGLONG window_thread_cpu_ms_ = 0, cpu_sampled_at_ms_ = 0;
};

// -------------------------------------------------------------- command --

bool FromHex(const char* hex, std::string* bytes) {
  size_t length = std::strlen(hex);
  if (length % 2) return false;
  for (size_t i = 0; i < length; i += 2) {
    char pair[3] = {hex[i], hex[i + 1], 0};
    char* end = nullptr;
    long value = std::strtol(pair, &end, 16);
    if (*end) return false;
    bytes->push_back(static_cast<char>(value));
  }
  return true;
}

bool ParseOptions(int argc, char** argv, Options* options) {
  bool have_command = false;
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    if (name == "--close-box") {
      options->close_box = true;
      continue;
    }
    if (name == "--early-click") {
      options->early_click = true;
      continue;
    }
    if (name == "--no-click") {
      options->click = false;
      continue;
    }
    if (i + 1 >= argc) return false;
    const char* value = argv[++i];
    if (name == "--report") {
      options->report = value;
    } else if (name == "--cmdline-hex") {
      if (!FromHex(value, &options->command_line)) return false;
      have_command = true;
    } else if (name == "--app") {
      options->application = value;
    } else if (name == "--cwd") {
      options->current_folder = value;
    } else if (name == "--answer") {
      std::string answer = value;
      if (answer != "OK" && answer != "Cancel" && answer != "Close") return false;
      options->answers.push_back(answer);
    } else if (name == "--pause-dir") {
      options->pause_dir = value;
    } else if (name == "--timeout") {
      options->timeout_ms = std::strtoull(value, nullptr, 10) * 1000;
    } else {
      return false;
    }
  }
  return have_command && !options->report.empty();
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fprintf(stderr,
                 "usage: ui_robot --report FILE --cmdline-hex HEX [--app PATH] [--cwd DIR]\n"
                 "                [--answer OK|Cancel|Close]... [--close-box] [--early-click]\n"
                 "                [--no-click] [--timeout SECONDS] [--pause-dir DIR]\n");
    return 2;
  }
  Report report;
  if (!report.Open(options.report)) {
    std::fprintf(stderr, "ui_robot: cannot write %s\n", options.report.c_str());
    return 2;
  }
  Robot robot(options, report);
  int result = robot.Run();
  report.Close();
  return result;
}
