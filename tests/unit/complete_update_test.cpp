#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run/user_texts.h"
#include "steps/phases.h"
#include "support/target_fixture.h"

namespace brx {
namespace {

constexpr RegistryRoot kHklm = RegistryRoot::kLocalMachine;

class CompleteUpdateTest : public ::testing::Test {
 protected:
  CompleteUpdateTest() : phase_({RegistryKeysEntry(1)}) {
    TargetInfo& target = phase_.run.target;
    target.keyPath.Assign(kTargetKey);
    target.levelValueName.Assign("PatchLevel");
  }
  PhaseRun phase_;
  FakeSystem system_;
};

// Tests that a run without failures shows the success text first and then
// records the package level as a four-byte little-endian REG_DWORD under HKLM.
TEST_F(CompleteUpdateTest, RecordsTheLevelAfterTheText) {
  struct Case {
    int32_t level;
    std::string bytes;
  };
  const Case cases[] = {
      {1, std::string("\x01\0\0\0", 4)},
      {-1, "\xFF\xFF\xFF\xFF"},
      {0x12345678, "\x78\x56\x34\x12"},
  };
  for (const Case& c : cases) {
    FakeSystem system;
    system.AddRegistryKey(kHklm, kTargetKey);
    system.PutRegistryText(RegistryRoot::kCurrentUser, kTargetKey, "PatchLevel", "cu");
    phase_.run.target.packageLevel = c.level;
    CompleteUpdate(system, phase_.run);
    EXPECT_EQ(system.statusTexts, std::vector<std::string>{kUpdateInstalledText});
    const auto value = system.GetRegistryValue(kHklm, kTargetKey, "PatchLevel");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, kRegDword);
    EXPECT_EQ(value->bytes, c.bytes);
    EXPECT_EQ(system.GetRegistryValue(RegistryRoot::kCurrentUser, kTargetKey, "PatchLevel")->bytes,
              std::string("cu\0", 3));
    EXPECT_EQ(system.registryOpenAccesses, std::vector<uint32_t>{6});
    EXPECT_EQ(system.calls.front(), "SetStatusText " + std::string(kUpdateInstalledText));
    EXPECT_EQ(system.calls.back(), "CloseRegistryKey");
  }
}

// Tests that a failed run shows nothing and writes nothing.
TEST_F(CompleteUpdateTest, FailedRunDoesNothing) {
  system_.AddRegistryKey(kHklm, kTargetKey);
  phase_.run.updateFailed = 1;
  CompleteUpdate(system_, phase_.run);
  EXPECT_TRUE(system_.calls.empty());
}

// Tests that a key that cannot be opened, or a write that fails, leaves the
// success text standing and reports nothing; the key is never created.
TEST_F(CompleteUpdateTest, WriteFailuresAreNotReported) {
  {
    CompleteUpdate(system_, phase_.run);  // no such key
    EXPECT_EQ(system_.statusTexts, std::vector<std::string>{kUpdateInstalledText});
    EXPECT_FALSE(system_.HasRegistryKey(kHklm, kTargetKey));
    EXPECT_EQ(system_.calls.back(), "OpenRegistryKey hklm\\software\\brindlex\\viewer");
  }
  {
    FakeSystem system;
    system.DenyRegistryWrites(kHklm, kTargetKey);
    CompleteUpdate(system, phase_.run);
    EXPECT_EQ(system.statusText, kUpdateInstalledText);
    EXPECT_FALSE(system.GetRegistryValue(kHklm, kTargetKey, "PatchLevel").has_value());
  }
  {
    FakeSystem system;
    system.AddRegistryKey(kHklm, kTargetKey);
    system.failNthCall["SetRegistryValue"] = 0;
    CompleteUpdate(system, phase_.run);
    EXPECT_EQ(system.statusText, kUpdateInstalledText);
    EXPECT_EQ(system.calls.back(), "CloseRegistryKey");
  }
}

}  // namespace
}  // namespace brx
