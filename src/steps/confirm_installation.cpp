// Confirmation and patch-level check: the user's two chances to stop before
// anything on disk or in the registry changes.
#include "package/section_names.h"
#include "package/section_readers.h"
#include "run/user_texts.h"
#include "steps/phases.h"

namespace brx {

namespace {

constexpr uint32_t kConfirmationStyle = kMbOkCancel | kMbIconInformation;  // 0x41
constexpr uint32_t kLevelWarningStyle = kMbOkCancel | kMbIconExclamation;  // 0x31

bool Refuse(RunState& run) {
  run.waitForButton = false;
  return false;
}

}  // namespace

bool ConfirmInstallation(System& system, RunState& run) {
  SectionBlock section = LoadSection(run.package, kStartupMsgSection);
  if (section.status() != SectionBlock::Status::kNotFound) {
    // A question that is there but cannot be produced is not skipped: the
    // safe answer is the one that changes nothing.
    if (!section.loaded()) return Refuse(run);
    // A section holding only the caption asks with an empty question.
    const StartupMessage message = ReadStartupMessage(section.bytes());
    const int answer = system.AskUser(message.question, message.caption, kConfirmationStyle);
    section.Release();
    if (answer != kIdOk) return Refuse(run);
  }
  // Equal counts as installed: the same update is being run again.
  if (run.target.installedLevel >= run.target.packageLevel &&
      system.AskUser(kLevelWarningText, kLevelWarningCaption, kLevelWarningStyle) != kIdOk) {
    return Refuse(run);
  }
  return true;
}

}  // namespace brx
