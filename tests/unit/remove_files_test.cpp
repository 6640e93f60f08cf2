#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "authoring/section_encoders.h"
#include "package/section_names.h"
#include "steps/phases.h"
#include "support/steps_fixture.h"

namespace brx {
namespace {

const std::string kFolder = kStepsFolder;

struct RemovalCase {
  const char* what;
  std::vector<uint8_t> section;
  std::vector<std::string> remaining;  // of the files old\a.txt, old\b.txt and folder old
  std::vector<std::string> gone;
};

// Tests that each listed name is deleted as a file and removed as a folder,
// in list order: a folder goes only once the files listed before it are gone.
TEST(RemoveFilesTest, RemovesInListOrder) {
  const std::string tooLong(512 - kFolder.size(), 'x');
  const RemovalCase cases[] = {
      {"files first, then their folder",
       EncodeTextList({"old\\a.txt", "old\\b.txt", "old"}),
       {},
       {"old\\a.txt", "old\\b.txt", "old"}},
      {"folder before its files",
       EncodeTextList({"old", "old\\a.txt", "old\\b.txt"}),
       {"old"},
       {"old\\a.txt", "old\\b.txt"}},
      {"trailing backslash",
       EncodeTextList({"old\\a.txt", "old\\b.txt", "old\\"}),
       {},
       {"old\\a.txt", "old\\b.txt", "old"}},
      {"name that does not exist",
       EncodeTextList({"missing.txt", "old\\a.txt"}),
       {"old\\b.txt", "old"},
       {"old\\a.txt"}},
      {"path that does not fit is passed over",
       EncodeTextList({tooLong, "old\\a.txt"}),
       {"old\\b.txt", "old"},
       {"old\\a.txt"}},
      {"empty list", Payload(std::string(1, '\0')), {"old\\a.txt", "old\\b.txt", "old"}, {}},
      {"list cut by the block's end", Payload("old\\a.txt"), {"old\\b.txt", "old"}, {"old\\a.txt"}},
  };
  for (const RemovalCase& c : cases) {
    SCOPED_TRACE(c.what);
    StepsRun steps({SectionEntry(kFilesToRemoveSection, c.section)});
    steps.system.AddFile(kFolder + "old\\a.txt", "a");
    steps.system.AddFile(kFolder + "old\\b.txt", "b");
    steps.Prepare();
    const uint32_t failedBefore = steps.run.updateFailed;
    RemoveFiles(steps.system, steps.run);
    for (const std::string& path : c.remaining) {
      EXPECT_TRUE(steps.system.HasFile(kFolder + path) || steps.system.HasFolder(kFolder + path))
          << path;
    }
    for (const std::string& path : c.gone) {
      EXPECT_FALSE(steps.system.HasFile(kFolder + path) || steps.system.HasFolder(kFolder + path))
          << path;
    }
    EXPECT_EQ(steps.run.updateFailed, failedBefore);
    EXPECT_TRUE(steps.system.statusTexts.empty());
  }
}

// Tests that both calls are made for every name, file delete first.
TEST(RemoveFilesTest, DeletesThenRemovesEachName) {
  StepsRun steps({SectionEntry(kFilesToRemoveSection, EncodeTextList({"a.txt", "dir"}))});
  steps.Prepare();
  const size_t before = steps.system.calls.size();
  RemoveFiles(steps.system, steps.run);
  EXPECT_EQ(steps.CallsSince(before),
            (std::vector<std::string>{
                "DeletePath " + kFolder + "a.txt", "RemoveFolder " + kFolder + "a.txt",
                "DeletePath " + kFolder + "dir", "RemoveFolder " + kFolder + "dir"}));
}

}  // namespace
}  // namespace brx
