#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "brxpack/contents/installed_path.h"

namespace brxpack {
namespace {

// Tests that installed paths are judged suspicious, and escaping the target
// folder, exactly where they should be.
TEST(InstalledPathTest, JudgesPaths) {
  struct Case {
    std::string path;
    bool escapes;
    bool suspicious;
  };
  const Case cases[] = {
      {"readme.txt", false, false},
      {"docs\\help\\readme.txt", false, false},
      {"docs\\..thing.txt", false, false},
      {"a\\.\\b.txt", false, false},
      {"\\x.txt", true, true},
      {"/etc/passwd", true, true},
      {"C:\\Windows\\evil.dll", true, true},
      {"data:stream", true, true},
      {"..\\outside.txt", true, true},
      {"docs\\..\\..\\outside.txt", true, true},
      {"docs/../../outside.txt", true, true},
      {"docs\\", false, true},
      {"", false, true},
      {"what?.txt", false, true},
      {"tab\there.txt", false, true},
      {std::string(kLongestInstalledPath, 'a'), false, false},
      {std::string(kLongestInstalledPath + 1, 'a'), false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(EscapeProblem(c.path).has_value(), c.escapes);
    EXPECT_EQ(InstalledPathProblem(c.path).has_value(), c.suspicious);
  }
}

// Tests that components drop what Windows ignores and split at both slashes.
TEST(InstalledPathTest, SplitsComponents) {
  EXPECT_EQ(PathComponents("a\\\\b\\.\\c/d.txt"),
            (std::vector<std::string>{"a", "b", "c", "d.txt"}));
}

}  // namespace
}  // namespace brxpack
