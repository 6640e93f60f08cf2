#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "authoring/section_encoders.h"
#include "package/section_names.h"
#include "steps/phases.h"
#include "support/steps_fixture.h"

namespace brx {
namespace {

struct FoldersCase {
  const char* what;
  std::vector<std::string> folders;
  std::vector<std::string> created;  // folders standing afterwards
  std::vector<std::string> absent;
};

// Tests that each listed folder is made once, in list order, without its
// parents: a nested folder listed before its parent is not made.
TEST(CreateFoldersTest, CreatesListedFoldersInOrder) {
  const FoldersCase cases[] = {
      {"parent first", {"data", "data\\maps"}, {"data", "data\\maps"}, {}},
      {"child first", {"data\\maps", "data"}, {"data"}, {"data\\maps"}},
      {"empty list", {}, {}, {"data"}},
  };
  for (const FoldersCase& c : cases) {
    SCOPED_TRACE(c.what);
    StepsRun steps({SectionEntry(kFoldersSection, EncodeTextList(c.folders))});
    const size_t before = steps.system.calls.size();
    steps.Prepare();
    std::vector<std::string> calls = steps.CallsSince(before);
    ASSERT_EQ(calls.size(), c.folders.size());
    for (size_t i = 0; i < calls.size(); ++i) {
      EXPECT_EQ(calls[i], "CreateFolder " + std::string(kStepsFolder) + c.folders[i]);
    }
    for (const std::string& folder : c.created) {
      EXPECT_TRUE(steps.system.HasFolder(kStepsFolder + folder)) << folder;
    }
    for (const std::string& folder : c.absent) {
      EXPECT_FALSE(steps.system.HasFolder(kStepsFolder + folder)) << folder;
    }
  }
}

// Tests that a folder whose path does not fit is passed over and the
// folders after it are still made.
TEST(CreateFoldersTest, PassesOverFolderThatDoesNotFit) {
  const std::string tooLong(512 - sizeof(kStepsFolder) + 1, 'x');  // one character too many
  const std::string longest(tooLong.size() - 1, 'y');
  StepsRun steps({SectionEntry(kFoldersSection, EncodeTextList({tooLong, longest, "next"}))});
  const size_t before = steps.system.calls.size();
  steps.Prepare();
  EXPECT_EQ(steps.CallsSince(before),
            (std::vector<std::string>{"CreateFolder " + std::string(kStepsFolder) + longest,
                                      "CreateFolder " + std::string(kStepsFolder) + "next"}));
}

}  // namespace
}  // namespace brx
