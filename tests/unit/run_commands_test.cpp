#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "authoring/section_encoders.h"
#include "package/section_names.h"
#include "package/section_readers.h"
#include "run/user_texts.h"
#include "steps/phases.h"
#include "support/steps_fixture.h"

namespace brx {
namespace {

const std::string kFolder = kStepsFolder;
const std::string kErrorFile = kFolder + "brx_patch_apply_err.txt";

struct Program {
  std::string path;
  bool writesErrorFile = false;
};

struct CommandsCase {
  const char* what;
  std::vector<uint8_t> section;  // empty: no :CommandsToExecute entry
  std::vector<Program> programs;
  bool errorFileBefore;
  std::vector<std::string> starts;  // "application | command line", in order
  int waits;
  bool failed;  // one box shown and bit 0 set
};

std::string Start(const std::string& application, const std::string& commandLine) {
  return application + " | " + commandLine;
}

// Tests the command list: flags, relative names, the DUMMY command line, the
// error-file protocol, a missing program, and that the first failure ends
// the list with exactly one box.
TEST(RunCommandsTest, CommandScenarios) {
  const std::string a = "C:\\Tools\\a.exe";
  const std::string b = "C:\\Tools\\b.exe";
  const std::string c = "C:\\Tools\\c.exe";
  const std::string conv = kFolder + "tools\\conv.exe";
  const std::string longest(1023, 'p');  // the whole program buffer
  const std::string longArguments(1024 - sizeof("DUMMY "), 'a');
  const CommandsCase cases[] = {
      {"absolute program, no wait",
       EncodeCommands({{0, a, "-x y"}}),
       {{a}},
       false,
       {Start(a, "DUMMY -x y")},
       0,
       false},
      {"relative program, waited",
       EncodeCommands({{kCommandWait | kCommandRelative, "tools\\conv.exe", "in.dat"}}),
       {{conv}},
       false,
       {Start(conv, "DUMMY in.dat")},
       1,
       false},
      {"relative name without the flag is handed over as stored",
       EncodeCommands({{kCommandWait, "tools\\conv.exe", ""}}),
       {{conv}},
       false,
       {Start("tools\\conv.exe", "DUMMY ")},
       0,
       true},
      {"other flag bits ignored",
       EncodeCommands({{0xFC, a, ""}}),
       {{a}},
       false,
       {Start(a, "DUMMY ")},
       0,
       false},
      {"error file written by the program",
       EncodeCommands({{kCommandWait, a, ""}, {kCommandWait, b, ""}}),
       {{a, true}, {b}},
       false,
       {Start(a, "DUMMY ")},
       1,
       true},
      {"error file standing before the phase",
       EncodeCommands({{kCommandWait, a, ""}, {kCommandWait, b, ""}}),
       {{a}, {b}},
       true,
       {Start(a, "DUMMY ")},
       1,
       true},
      {"missing program",
       EncodeCommands({{kCommandWait, a, ""}}),
       {},
       false,
       {Start(a, "DUMMY ")},
       0,
       true},
      {"second of three fails",
       EncodeCommands({{kCommandWait, a, "1"}, {kCommandWait, b, "2"}, {kCommandWait, c, "3"}}),
       {{a}, {c}},
       false,
       {Start(a, "DUMMY 1"), Start(b, "DUMMY 2")},
       1,
       true},
      {"program path of 1,023 bytes",
       EncodeCommands({{0, longest, ""}}),
       {},
       false,
       {Start(longest, "DUMMY ")},
       0,
       true},
      {"program path of 1,024 bytes",
       EncodeCommands({{0, longest + "q", ""}, {0, a, ""}}),
       {{a}},
       false,
       {},
       0,
       true},
      {"relative program path that does not fit",
       EncodeCommands({{kCommandRelative, longest.substr(kFolder.size() - 1), ""}}),
       {},
       false,
       {},
       0,
       true},
      {"command line of 1,023 bytes",
       EncodeCommands({{0, a, longArguments}}),
       {{a}},
       false,
       {Start(a, "DUMMY " + longArguments)},
       0,
       false},
      {"command line of 1,024 bytes",
       EncodeCommands({{0, a, longArguments + "z"}}),
       {{a}},
       false,
       {},
       0,
       true},
      {"no commands", Payload(std::string(2, '\0')), {{a}}, false, {}, 0, false},
      {"closing record with flags", Payload(std::string("\x03\0", 2)), {{a}}, false, {}, 0, false},
      {"record cut in its program",
       Payload("\x01"
               "C:\\Tools\\a.exe"),
       {{a}},
       false,
       {},
       0,
       false},
      {"record cut in its arguments",
       Payload(std::string("\x01"
                           "C:\\Tools\\a.exe\0-x",
                           18)),
       {{a}},
       false,
       {},
       0,
       false},
      {"no section", {}, {{a}}, true, {}, 0, false},
  };
  for (const CommandsCase& k : cases) {
    SCOPED_TRACE(k.what);
    std::vector<PackageEntrySource> entries = {FileEntry("x.txt", "x")};
    if (!k.section.empty()) entries.push_back(SectionEntry(kCommandsSection, k.section));
    StepsRun steps(entries);
    for (const Program& program : k.programs) {
      steps.system.AddProgram(program.path, [&program](FakeSystem& s, const auto& start) {
        EXPECT_EQ(start.currentFolder, kFolder);
        if (program.writesErrorFile) s.AddFile(kErrorFile, "failed");
      });
    }
    if (k.errorFileBefore) steps.system.AddFile(kErrorFile, "left over");
    steps.Prepare();
    const size_t before = steps.system.calls.size();
    RunCommands(steps.system, steps.run);

    std::vector<std::string> starts;
    int waits = 0;
    for (const std::string& call : steps.CallsSince(before)) {
      if (call.rfind("StartProcess ", 0) == 0) {
        starts.push_back(call.substr(13, call.rfind(" | ") - 13));
      }
      if (call.rfind("WaitForProcess", 0) == 0) ++waits;
    }
    EXPECT_EQ(starts, k.starts);
    EXPECT_EQ(waits, k.waits);
    EXPECT_EQ(steps.run.updateFailed, k.failed ? 1u : 0u);
    ASSERT_EQ(steps.system.messageBoxes.size(), k.failed ? 1u : 0u);
    if (k.failed) {
      EXPECT_EQ(steps.system.messageBoxes[0].text, kCommandsFailedText);
      EXPECT_EQ(steps.system.messageBoxes[0].caption, kCommandsFailedCaption);
      EXPECT_EQ(steps.system.messageBoxes[0].style, kMbOk | kMbIconExclamation);
    }
    // The phase deletes an error file it finds after a command; one standing
    // when no command ran stays.
    EXPECT_EQ(steps.system.HasFile(kErrorFile), k.errorFileBefore && k.starts.empty());
    EXPECT_EQ(steps.system.OpenHandleCount(), 0u);
  }
}

// Tests that a successful command list leaves a failure of the file phase set.
TEST(RunCommandsTest, SuccessKeepsEarlierFailure) {
  StepsRun steps({SectionEntry(kCommandsSection, EncodeCommands({{0, "C:\\a.exe", ""}}))});
  steps.system.AddProgram("C:\\a.exe");
  steps.Prepare();
  steps.run.updateFailed = 1;
  RunCommands(steps.system, steps.run);
  EXPECT_EQ(steps.run.updateFailed, 1u);
  EXPECT_TRUE(steps.system.messageBoxes.empty());
}

}  // namespace
}  // namespace brx
