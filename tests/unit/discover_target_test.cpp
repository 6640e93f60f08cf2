#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "package/section_names.h"
#include "run/user_texts.h"
#include "steps/phases.h"
#include "support/target_fixture.h"

namespace brx {
namespace {

constexpr RegistryRoot kHklm = RegistryRoot::kLocalMachine;

std::string Fill(const char* format, const std::string& argument) {
  std::string text = format;
  return text.replace(text.find("%s"), 2, argument);
}

bool Called(const FakeSystem& system, const std::string& prefix) {
  return std::any_of(system.calls.begin(), system.calls.end(),
                     [&](const std::string& call) { return call.rfind(prefix, 0) == 0; });
}

// Tests each row of the failure table: the status texts in their order and
// the end of the run.
TEST(DiscoverTargetTest, FailureTable) {
  const std::string notFound = kTargetNotFoundText;
  struct Case {
    const char* name;
    std::vector<PackageEntrySource> entries;
    void (*arrange)(FakeSystem&);
    std::vector<std::string> statusTexts;
  };
  const Case cases[] = {
      {"section absent", {Entry("file.txt", {'x'})}, [](FakeSystem&) {}, {notFound}},
      {"section without its level",
       {Entry(kRegistryKeysSection,
              {'S', 0, 'P', 'a', 't', 'h', 0, 'N', 'a', 'm', 'e', 0, 'L', 'v', 0, 1, 0})},
       [](FakeSystem&) {},
       {notFound}},
      {"empty section",
       {Entry(kRegistryKeysSection, {}, EntryStorage::kStored)},
       [](FakeSystem&) {},
       {notFound}},
      {"key cannot be opened",
       {RegistryKeysEntry()},
       [](FakeSystem&) {},
       {Fill(kRegistryKeyErrorFormat, kTargetKey), Fill(kRegistryKeyErrorFormat, kTargetKey),
        notFound}},
      {"folder value missing",
       {RegistryKeysEntry()},
       [](FakeSystem& s) {
         s.PutRegistryText(kHklm, kTargetKey, "ProgramName", kTargetProgram);
         s.AddFile(std::string("\\") + kTargetProgram, "MZ");
       },
       {Fill(kRegistryReadErrorFormat, "ProgramPath"), notFound}},
      {"folder value too long",
       {RegistryKeysEntry()},
       [](FakeSystem& s) {
         InstallTarget(s, 0);
         s.PutRegistryText(kHklm, kTargetKey, "ProgramPath", std::string(512, 'f'));
       },
       {Fill(kRegistryReadErrorFormat, "ProgramPath"), notFound}},
      {"program value missing",
       {RegistryKeysEntry()},
       [](FakeSystem& s) { s.PutRegistryText(kHklm, kTargetKey, "ProgramPath", kTargetFolder); },
       {Fill(kRegistryReadErrorFormat, "ProgramName"), notFound}},
      {"program value too long",
       {RegistryKeysEntry()},
       [](FakeSystem& s) {
         InstallTarget(s, 0);
         s.PutRegistryText(kHklm, kTargetKey, "ProgramName", std::string(600, 'p'));
       },
       {Fill(kRegistryReadErrorFormat, "ProgramName"), notFound}},
      {"program file not present",
       {RegistryKeysEntry()},
       [](FakeSystem& s) {
         InstallTarget(s, 0);
         s.DeletePath((std::string(kTargetFolder) + "\\" + kTargetProgram).c_str());
       },
       {notFound}},
      // Folder and name that do not fit one path buffer cannot name the program.
      {"path too long for the buffer",
       {RegistryKeysEntry()},
       [](FakeSystem& s) {
         const std::string folder = "C:\\" + std::string(300, 'd');
         const std::string program = std::string(220, 'p');
         s.PutRegistryText(kHklm, kTargetKey, "ProgramPath", folder);
         s.PutRegistryText(kHklm, kTargetKey, "ProgramName", program);
         s.AddFile(folder + "\\" + program, "MZ");
       },
       {notFound}},
      // The level is written under this name at the end; one that does not
      // fit its buffer cannot name the target.
      {"level value name too long for its buffer",
       {Entry(kRegistryKeysSection, EncodeRegistryKeys({kTargetKey, "ProgramPath", "ProgramName",
                                                        std::string(513, 'n'), 1}))},
       [](FakeSystem& s) { InstallTarget(s, 0); },
       {notFound}},
      // 512 bytes without a terminator: read whole, then too long to join.
      {"unterminated folder of 512 bytes",
       {RegistryKeysEntry()},
       [](FakeSystem& s) {
         InstallTarget(s, 0);
         s.PutRegistryValue(kHklm, kTargetKey, "ProgramPath", kRegSz, std::string(512, 'u'));
       },
       {notFound}},
  };
  for (const Case& c : cases) {
    FakeSystem system;
    c.arrange(system);
    PhaseRun phase(c.entries);
    EXPECT_FALSE(DiscoverTarget(system, phase.run)) << c.name;
    EXPECT_EQ(system.statusTexts, c.statusTexts) << c.name;
    EXPECT_TRUE(phase.run.waitForButton) << c.name;
  }
}

// Tests that an absent or incomplete :RegistryKeys touches no registry, and
// that a folder that cannot be read stops the run before any presence test.
TEST(DiscoverTargetTest, StopsBeforeNeedlessCalls) {
  {
    FakeSystem system;
    InstallTarget(system, 0);
    PhaseRun phase({Entry(kRegistryKeysSection, {'S', 0, 'P', 0})});
    EXPECT_FALSE(DiscoverTarget(system, phase.run));
    EXPECT_EQ(system.calls,
              std::vector<std::string>{"SetStatusText " + std::string(kTargetNotFoundText)});
  }
  {
    FakeSystem system;
    system.PutRegistryText(kHklm, kTargetKey, "ProgramName", kTargetProgram);
    PhaseRun phase({RegistryKeysEntry()});
    EXPECT_FALSE(DiscoverTarget(system, phase.run));
    EXPECT_FALSE(Called(system, "PathExists"));
  }
}

// Tests the backslash rule: one is appended only when the folder lacks it,
// and the program's path is the folder followed by the program name.
TEST(DiscoverTargetTest, FolderEndsInOneBackslash) {
  struct Case {
    std::string folderBytes;  // as stored, terminator included or not
    std::string targetFolder;
  };
  const Case cases[] = {
      {std::string("C:\\Viewer\0", 10), "C:\\Viewer\\"},
      {std::string("C:\\Viewer\\\0", 11), "C:\\Viewer\\"},
      {"C:\\Viewer", "C:\\Viewer\\"},  // stored without its terminator
      {std::string(1, '\0'), "\\"},
      {std::string(500, 'v') + '\0', std::string(500, 'v') + "\\"},
      // The folder buffer holds 512 characters and the backslash; the joined
      // path then no longer fits.
      {std::string(512, 'u'), std::string(512, 'u') + "\\"},
  };
  for (const Case& c : cases) {
    FakeSystem system;
    system.PutRegistryValue(kHklm, kTargetKey, "ProgramPath", kRegSz, c.folderBytes);
    system.PutRegistryText(kHklm, kTargetKey, "ProgramName", "v.exe");
    PhaseRun phase({RegistryKeysEntry()});
    const std::string path = c.targetFolder + "v.exe";
    if (path.size() < 512) system.AddFile(path, "MZ");
    EXPECT_EQ(DiscoverTarget(system, phase.run), path.size() < 512) << c.targetFolder;
    EXPECT_EQ(phase.run.target.targetFolder.c_str(), c.targetFolder);
    if (path.size() < 512) {
      EXPECT_TRUE(Called(system, "PathExists " + path)) << path;
    }
  }
}

// Tests that a program waiting under its backup name (an update killed
// after moving it aside and before writing its successor) counts as
// present, the program's own name being tested first; and that a backup
// name alone is not taken for a program whose backup name is different.
TEST(DiscoverTargetTest, ProgramWaitingUnderItsBackupNameIsPresent) {
  const std::string program = std::string(kTargetFolder) + "\\" + kTargetProgram;
  {
    FakeSystem system;
    InstallTarget(system, 0);
    ASSERT_TRUE(system.MovePath(program.c_str(), (program + ".bak").c_str()));
    const size_t before = system.calls.size();
    PhaseRun phase({RegistryKeysEntry()});
    EXPECT_TRUE(DiscoverTarget(system, phase.run));
    EXPECT_TRUE(system.statusTexts.empty());
    std::vector<std::string> presence;
    for (size_t i = before; i < system.calls.size(); ++i) {
      if (system.calls[i].rfind("PathExists", 0) == 0) presence.push_back(system.calls[i]);
    }
    EXPECT_EQ(presence, (std::vector<std::string>{"PathExists " + program,
                                                  "PathExists " + program + ".bak"}));
  }
  {
    FakeSystem system;
    InstallTarget(system, 0);
    ASSERT_TRUE(system.MovePath(program.c_str(), (program + ".old").c_str()));
    PhaseRun phase({RegistryKeysEntry()});
    EXPECT_FALSE(DiscoverTarget(system, phase.run));
    EXPECT_EQ(system.statusTexts, std::vector<std::string>{kTargetNotFoundText});
  }
}

// Tests what TargetInfo holds after a found target, and that a program name
// naming a folder passes the presence test.
TEST(DiscoverTargetTest, FillsTargetInfo) {
  FakeSystem system;
  InstallTarget(system, 7);
  system.PutRegistryText(kHklm, kTargetKey, "ProgramName", "bin");
  system.AddFolder(std::string(kTargetFolder) + "\\bin");
  PhaseRun phase({RegistryKeysEntry(3)});
  ASSERT_TRUE(DiscoverTarget(system, phase.run));
  const TargetInfo& target = phase.run.target;
  EXPECT_STREQ(target.keyPath.c_str(), kTargetKey);
  EXPECT_EQ(target.targetFolder.c_str(), std::string(kTargetFolder) + "\\");
  EXPECT_STREQ(target.programFile.c_str(), "bin");
  EXPECT_STREQ(target.levelValueName.c_str(), "PatchLevel");
  EXPECT_EQ(target.installedLevel, 7);
  EXPECT_EQ(target.packageLevel, 3);
  EXPECT_TRUE(system.statusTexts.empty());
}

// Tests the installed level for each kind of patch-level value, and the
// package level in both signs; none of them shows a text.
TEST(DiscoverTargetTest, Levels) {
  struct Case {
    const char* name;
    std::optional<FakeSystem::RegistryValue> levelValue;
    int32_t packageLevel;
    int32_t installedLevel;
  };
  const Case cases[] = {
      {"dword 3", FakeSystem::RegistryValue{kRegDword, std::string("\x03\0\0\0", 4)}, 1, 3},
      {"dword -1", FakeSystem::RegistryValue{kRegDword, "\xFF\xFF\xFF\xFF"}, 1, -1},
      {"text 3", FakeSystem::RegistryValue{kRegSz, std::string("3\0", 2)}, 1, 0},
      {"binary", FakeSystem::RegistryValue{3, std::string("\x03\0\0\0", 4)}, 1, 0},
      {"short dword", FakeSystem::RegistryValue{kRegDword, std::string("\x03\0", 2)}, 1, 0},
      {"too long", FakeSystem::RegistryValue{kRegDword, std::string(600, '\x01')}, 1, 0},
      {"missing", std::nullopt, 1, 0},
      {"package level -1", std::nullopt, -1, 0},
  };
  for (const Case& c : cases) {
    FakeSystem system;
    InstallTarget(system, std::nullopt);
    if (c.levelValue) {
      system.PutRegistryValue(kHklm, kTargetKey, "PatchLevel", c.levelValue->type,
                              c.levelValue->bytes);
    }
    PhaseRun phase({RegistryKeysEntry(c.packageLevel)});
    EXPECT_TRUE(DiscoverTarget(system, phase.run)) << c.name;
    EXPECT_EQ(phase.run.target.installedLevel, c.installedLevel) << c.name;
    EXPECT_EQ(phase.run.target.packageLevel, c.packageLevel) << c.name;
    EXPECT_TRUE(system.statusTexts.empty()) << c.name;
  }
}

}  // namespace
}  // namespace brx
