#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "package/section_names.h"
#include "run/user_texts.h"
#include "steps/phases.h"
#include "support/target_fixture.h"

namespace brx {
namespace {

const std::string kCaption = "\xCE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xE5";  // Обновление
const std::string kQuestion = "Install the update?\r\nThe program must be closed.";

// A box as "caption | text | style", so whole lists compare at once.
std::string Box(const std::string& caption, const std::string& text, uint32_t style) {
  return caption + " | " + text + " | " + std::to_string(style);
}
const std::string kConfirmation = Box(kCaption, kQuestion, 0x41);
const std::string kWarning = Box(kLevelWarningCaption, kLevelWarningText, 0x31);

std::vector<std::string> BoxesSeen(const FakeSystem& system) {
  std::vector<std::string> boxes;
  for (const auto& box : system.messageBoxes)
    boxes.push_back(Box(box.caption, box.text, box.style));
  return boxes;
}

// Tests the level comparison (signed, equal counts as installed) and the
// boxes' texts, captions and styles, with and without :StartupMsg.
TEST(ConfirmInstallationTest, LevelTable) {
  struct Case {
    int32_t installed;
    int32_t package;
    bool withQuestion;
    std::vector<std::string> boxes;
  };
  const Case cases[] = {
      {0, 1, false, {}},
      {1, 1, false, {kWarning}},
      {2, 1, false, {kWarning}},
      {0, 0, false, {kWarning}},
      {-5, -1, false, {}},
      {-1, -5, false, {kWarning}},
      {0, 1, true, {kConfirmation}},
      {1, 1, true, {kConfirmation, kWarning}},
  };
  for (const Case& c : cases) {
    FakeSystem system;
    std::vector<PackageEntrySource> entries = {RegistryKeysEntry(c.package)};
    if (c.withQuestion) entries.push_back(StartupMsgEntry(kCaption, kQuestion));
    PhaseRun phase(entries);
    phase.run.target.installedLevel = c.installed;
    phase.run.target.packageLevel = c.package;
    EXPECT_TRUE(ConfirmInstallation(system, phase.run)) << c.installed << " vs " << c.package;
    EXPECT_EQ(BoxesSeen(system), c.boxes) << c.installed << " vs " << c.package;
    EXPECT_TRUE(phase.run.waitForButton);
    EXPECT_TRUE(system.statusTexts.empty());
  }
}

// Tests that any answer but OK to either box is a refusal that clears
// waitForButton, and that a refused question asks nothing more.
TEST(ConfirmInstallationTest, Refusals) {
  struct Case {
    const char* name;
    std::deque<int> answers;
    size_t boxesShown;
  };
  const Case cases[] = {
      {"cancel the question", {kIdCancel}, 1},
      {"question box failed", {0}, 1},
      {"ok, then cancel the warning", {kIdOk, kIdCancel}, 2},
      {"ok, then the warning closed", {kIdOk, 7}, 2},
  };
  for (const Case& c : cases) {
    FakeSystem system;
    system.answers = c.answers;
    PhaseRun phase({RegistryKeysEntry(1), StartupMsgEntry(kCaption, kQuestion)});
    phase.run.target.installedLevel = 1;
    phase.run.target.packageLevel = 1;
    EXPECT_FALSE(ConfirmInstallation(system, phase.run)) << c.name;
    EXPECT_FALSE(phase.run.waitForButton) << c.name;
    EXPECT_EQ(system.messageBoxes.size(), c.boxesShown) << c.name;
    EXPECT_TRUE(system.statusTexts.empty()) << c.name;
  }
}

// Tests that a :StartupMsg that holds less than its two texts is still asked,
// with what it has, and that nothing is read past the payload.
TEST(ConfirmInstallationTest, ShortStartupMessage) {
  struct Case {
    std::vector<uint8_t> payload;
    std::string caption;
    std::string question;
  };
  const Case cases[] = {
      {{'C', 'a', 'p', 0}, "Cap", ""},
      {{'C', 'a', 'p'}, "Cap", ""},
      {{'C', 0, 'Q', '?'}, "C", "Q?"},
      {{}, "", ""},
  };
  for (const Case& c : cases) {
    FakeSystem system;
    PhaseRun phase(
        {RegistryKeysEntry(1), Entry(kStartupMsgSection, c.payload, EntryStorage::kStored)});
    phase.run.target.packageLevel = 1;
    EXPECT_TRUE(ConfirmInstallation(system, phase.run));
    ASSERT_EQ(system.messageBoxes.size(), 1u);
    EXPECT_EQ(system.messageBoxes[0].caption, c.caption);
    EXPECT_EQ(system.messageBoxes[0].text, c.question);
  }
}

}  // namespace
}  // namespace brx
