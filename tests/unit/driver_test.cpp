// The whole worker against FakeSystem: each way a run can end, and the
// hand-over rule that every window call comes before the one state store.
#include "app/driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/worker.h"
#include "package/section_names.h"
#include "package/section_readers.h"
#include "run/user_texts.h"
#include "support/target_fixture.h"

namespace brx {
namespace {

constexpr RegistryRoot kHklm = RegistryRoot::kLocalMachine;
constexpr char kProgram[] = "C:\\Upd\\PATCH.EXE";
constexpr char kPackageFile[] = "C:\\Upd\\update.brx";
const std::string kStub(100, 'S');
const std::string kNotFound = kTargetNotFoundText;
const std::string kInstalled = kUpdateInstalledText;

std::string Fill(const char* format, const std::string& argument) {
  std::string text = format;
  return text.replace(text.find("%s"), 2, argument);
}

std::string TargetPath(const std::string& name) {
  return std::string(kTargetFolder) + "\\" + name;
}

// Counts window calls made once the worker has stored its state: the window
// thread no longer serves them, so each would hang the real program.
class HandOverCheckingSystem : public FakeSystem {
 public:
  explicit HandOverCheckingSystem(const WorkerState& state) : state_(state) {}

  void SetStatusText(const char* text) override {
    Check();
    FakeSystem::SetStatusText(text);
  }
  int AskUser(const char* text, const char* caption, uint32_t style) override {
    Check();
    return FakeSystem::AskUser(text, caption, style);
  }
  void ShowButton() override {
    Check();
    FakeSystem::ShowButton();
  }
  void SetButtonText(const char* text) override {
    Check();
    FakeSystem::SetButtonText(text);
  }

  int lateWindowCalls = 0;

 private:
  void Check() {
    if (state_.load() != kRunning) ++lateWindowCalls;
  }
  const WorkerState& state_;
};

struct RunCase {
  const char* name;
  std::function<void(FakeSystem&)> arrange;
  std::string commandLine;
  std::vector<std::string> statusTexts;
  size_t boxes;
  int32_t state;
  std::deque<int> answers = {};
  bool checkStatusTexts = true;
};

// Runs the worker and checks what every run shares: the state stored, the
// button shown with "OK" as the last calls, nothing left open, no window
// call after the store.
void ExpectRun(const RunCase& c, HandOverCheckingSystem& system, WorkerState& state) {
  system.answers = c.answers;
  RunWorker(system, c.commandLine.c_str(), state);
  EXPECT_EQ(state.load(), c.state) << c.name;
  if (c.checkStatusTexts) {
    EXPECT_EQ(system.statusTexts, c.statusTexts) << c.name;
  }
  EXPECT_EQ(system.messageBoxes.size(), c.boxes) << c.name;
  EXPECT_TRUE(system.buttonShown) << c.name;
  EXPECT_EQ(system.buttonText, kButtonTextOk) << c.name;
  ASSERT_GE(system.calls.size(), 2u) << c.name;
  EXPECT_EQ(system.calls[system.calls.size() - 2], "ShowButton") << c.name;
  EXPECT_EQ(system.calls.back(), "SetButtonText OK") << c.name;
  EXPECT_EQ(system.lateWindowCalls, 0) << c.name;
  EXPECT_EQ(system.OpenHandleCount(), 0u) << c.name;
}

void AddPackageFile(FakeSystem& system, const std::vector<PackageEntrySource>& entries) {
  system.AddFile(kPackageFile, AsString(MakePackage(entries)));
}

// A package that would change the target everywhere if it got that far.
std::vector<PackageEntrySource> ChangingEntries(bool withRegistryKeys) {
  std::vector<PackageEntrySource> entries = {
      StartupMsgEntry("Viewer", "Install?"),
      Entry(kFoldersSection, EncodeTextList({"new"})),
      Entry(kTargetProgram, {'n', 'e', 'w'}),
      Entry(kFilesToRemoveSection, EncodeTextList({"old.txt"})),
      Entry(kRegistryTableSection,
            EncodeRegistryTable({{1, 1, "Software\\Brindlex", 2, "Theme", "dark"}})),
  };
  if (withRegistryKeys) entries.insert(entries.begin(), RegistryKeysEntry(1));
  return entries;
}

// Tests the rows of the outcome table that end before the target is
// touched: status texts, boxes, the state stored and the button.
TEST(DriverTest, OutcomesThatEndEarly) {
  const auto installTarget = [](FakeSystem& s) {
    InstallTarget(s, 1);
    s.AddFile(TargetPath("old.txt"), "old");
  };
  const RunCase cases[] = {
      {"wrong builder call", installTarget, "PATCH.EXE a b makeexe", {kUsageText}, 0, kFinished},
      {"package missing", installTarget, "PATCH.EXE C:\\missing.brx", {kUsageText}, 0, kFinished},
      {"package invalid",
       [](FakeSystem& s) { s.AddFile(kPackageFile, "Brindlex data  \x0D and more bytes"); },
       std::string("PATCH.EXE ") + kPackageFile,
       {kUsageText},
       0,
       kFinished},
      {"own file without a package",
       [](FakeSystem& s) { s.AddFile(kProgram, kStub); },
       kProgram,
       {kUsageText},
       0,
       kFinished},
      {"empty command line", installTarget, "", {kUsageText}, 0, kFinished},
      {"target not found: no :RegistryKeys",
       [&](FakeSystem& s) {
         installTarget(s);
         AddPackageFile(s, ChangingEntries(false));
       },
       std::string("PATCH.EXE ") + kPackageFile,
       {kNotFound},
       0,
       kFinished},
      {"target not found: not registered",
       [](FakeSystem& s) { AddPackageFile(s, ChangingEntries(true)); },
       std::string("PATCH.EXE ") + kPackageFile,
       {Fill(kRegistryKeyErrorFormat, kTargetKey), Fill(kRegistryKeyErrorFormat, kTargetKey),
        kNotFound},
       0,
       kFinished},
      {"refusal at the question",
       [&](FakeSystem& s) {
         installTarget(s);
         AddPackageFile(s, ChangingEntries(true));
       },
       std::string("PATCH.EXE ") + kPackageFile,
       {},
       1,
       kExit,
       {kIdCancel}},
      {"refusal at the warning",
       [&](FakeSystem& s) {
         installTarget(s);
         AddPackageFile(s, ChangingEntries(true));
       },
       std::string("PATCH.EXE ") + kPackageFile,
       {},
       2,
       kExit,
       {kIdOk, kIdCancel}},
  };
  for (const RunCase& c : cases) {
    WorkerState state{kRunning};
    HandOverCheckingSystem system(state);
    c.arrange(system);
    const auto files = system.Snapshot();
    const auto level = system.GetRegistryValue(kHklm, kTargetKey, "PatchLevel");
    ExpectRun(c, system, state);
    // Nothing on disk or in the registry has changed.
    EXPECT_EQ(system.Snapshot(), files) << c.name;
    EXPECT_EQ(system.GetRegistryValue(kHklm, kTargetKey, "PatchLevel").has_value(),
              level.has_value())
        << c.name;
    EXPECT_FALSE(system.HasRegistryKey(RegistryRoot::kCurrentUser, "Software\\Brindlex")) << c.name;
    EXPECT_TRUE(system.started.empty()) << c.name;
  }
}

// Tests that builder mode, whether it succeeds or fails, ends without a
// text and without waiting for the button.
TEST(DriverTest, BuilderModeClosesAtOnce) {
  const std::string build =
      std::string(kProgram) + " " + kPackageFile + " C:\\Out\\NEW.EXE MAKEEXE";
  const RunCase cases[] = {
      {"builder success",
       [](FakeSystem& s) {
         s.AddFile(kProgram, kStub);
         s.AddFile(kPackageFile, std::string(50, 'P'));
         s.AddFolder("C:\\Out");
       },
       build + " ignored",
       {},
       0,
       kExit},
      {"builder failure",
       [](FakeSystem& s) {
         s.AddFile(kProgram, kStub);
         s.AddFolder("C:\\Out");
       },
       build,
       {},
       0,
       kExit},
  };
  for (const RunCase& c : cases) {
    WorkerState state{kRunning};
    HandOverCheckingSystem system(state);
    c.arrange(system);
    ExpectRun(c, system, state);
    const bool built = system.HasFile(kPackageFile);
    EXPECT_EQ(system.HasFile("C:\\Out\\NEW.EXE"), built) << c.name;
    if (built) {
      EXPECT_EQ(system.FileContent("C:\\Out\\NEW.EXE")->size(), 158u);
    }
  }
}

// Tests a package whose only entry is :RegistryKeys, applied from a package
// file and from a self-applying executable under an unquoted Cyrillic path:
// no question, no file changed, the success text, the level as REG_DWORD.
TEST(DriverTest, RegistryKeysOnlyPackageSucceeds) {
  const std::string cyrillicProgram = "C:\\\xCE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xE5\\PATCH.EXE";
  const std::vector<uint8_t> package = MakePackage({RegistryKeysEntry(1)});
  const RunCase cases[] = {
      {"package file",
       [&](FakeSystem& s) {
         InstallTarget(s, std::nullopt);
         s.AddFile(kPackageFile, AsString(package));
       },
       std::string("PATCH.EXE ") + kPackageFile,
       {kInstalled},
       0,
       kFinished},
      {"own file",
       [&](FakeSystem& s) {
         InstallTarget(s, 0);
         s.AddFile(cyrillicProgram,
                   AsString(AppendPackageToStub({kStub.begin(), kStub.end()}, package)));
       },
       cyrillicProgram,
       {kInstalled},
       0,
       kFinished},
  };
  for (const RunCase& c : cases) {
    WorkerState state{kRunning};
    HandOverCheckingSystem system(state);
    c.arrange(system);
    const auto files = system.Snapshot();
    ExpectRun(c, system, state);
    EXPECT_EQ(system.Snapshot(), files) << c.name;
    const auto level = system.GetRegistryValue(kHklm, kTargetKey, "PatchLevel");
    ASSERT_TRUE(level.has_value()) << c.name;
    EXPECT_EQ(level->type, kRegDword) << c.name;
    EXPECT_EQ(level->bytes, std::string("\x01\0\0\0", 4)) << c.name;
  }
}

// Tests a complete run that installs everything, and one whose files and
// command fail: every phase still runs, the status line ends with the last
// file's result and the level stays as it was.
TEST(DriverTest, AllPhasesRun) {
  const std::vector<PackageEntrySource> entries = {
      RegistryKeysEntry(2),
      StartupMsgEntry("Viewer", "Install?"),
      Entry(kFoldersSection, EncodeTextList({"new"})),
      Entry("a.txt", {'A'}),
      Entry("b.txt", {'B'}),
      Entry("c.txt", {'C'}),
      Entry(kCommandsSection, EncodeCommands({{kCommandWait, "C:\\Tools\\tool.exe", "-x"}})),
      Entry(kFilesToRemoveSection, EncodeTextList({"old.txt"})),
      Entry(kRegistryTableSection,
            EncodeRegistryTable({{1, 1, "Software\\Brindlex", 2, "Theme", "dark"}})),
  };
  struct Case {
    const char* name;
    bool failing;
  };
  for (const Case& c : {Case{"success", false}, Case{"two files and a command fail", true}}) {
    WorkerState state{kRunning};
    HandOverCheckingSystem system(state);
    InstallTarget(system, 1);
    system.AddFile(TargetPath("old.txt"), "old");
    AddPackageFile(system, entries);
    if (!c.failing) system.AddProgram("C:\\Tools\\tool.exe");
    if (c.failing) {
      system.failNthCall["CreateFileForWriting"] = 0;  // a.txt
      system.failNthCall["CreateMapping"] = 1;         // b.txt, after the package's own
    }
    RunCase run = {
        c.name,   nullptr, std::string("PATCH.EXE ") + kPackageFile, {}, c.failing ? 2u : 1u,
        kFinished};
    run.checkStatusTexts = false;
    ExpectRun(run, system, state);

    EXPECT_EQ(system.statusText,
              c.failing ? Fill(kFileUpdatedFormat, TargetPath("c.txt")) : kInstalled);
    EXPECT_EQ(system.FileContent(TargetPath("a.txt")).has_value(), !c.failing);
    EXPECT_EQ(system.FileContent(TargetPath("b.txt")).has_value(), !c.failing);
    EXPECT_EQ(system.FileContent(TargetPath("c.txt")), "C");
    EXPECT_TRUE(system.HasFolder(TargetPath("new")));
    EXPECT_FALSE(system.HasFile(TargetPath("old.txt")));
    EXPECT_TRUE(system.GetRegistryValue(RegistryRoot::kCurrentUser, "Software\\Brindlex", "Theme"));
    EXPECT_EQ(system.GetRegistryValue(kHklm, kTargetKey, "PatchLevel")->bytes,
              c.failing ? std::string("\x01\0\0\0", 4) : std::string("\x02\0\0\0", 4));
    if (c.failing) {
      EXPECT_EQ(system.messageBoxes.back().text, kCommandsFailedText);
    }
  }
}

}  // namespace
}  // namespace brx
