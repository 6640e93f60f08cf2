#include "app/builder.h"

#include <gtest/gtest.h>

#include <string>

#include "support/fake_system.h"

namespace brx {
namespace {

constexpr char kStub[] = "C:\\Upd\\PATCH.EXE";
constexpr char kPackage[] = "C:\\Upd\\update.brx";
constexpr char kOutput[] = "C:\\Out\\UPDATE.EXE";

class BuilderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    system_.AddFile(kStub, std::string(100, 'S'));
    system_.AddFile(kPackage, std::string(50, 'P'));
    system_.AddFolder("C:\\Out");
  }
  bool Build() { return BuildSelfApplying(system_, kStub, kPackage, kOutput); }

  FakeSystem system_;
};

// Tests the layout of the output: stub, package, then 100 as a 32-bit
// little-endian package start and "BRDX"; the inputs stay as they were.
TEST_F(BuilderTest, WritesStubPackageAndTrailer) {
  ASSERT_TRUE(Build());
  const std::string expected =
      std::string(100, 'S') + std::string(50, 'P') + std::string("\x64\0\0\0BRDX", 8);
  EXPECT_EQ(system_.FileContent(kOutput), expected);
  EXPECT_EQ(system_.FileContent(kStub), std::string(100, 'S'));
  EXPECT_EQ(system_.FileContent(kPackage), std::string(50, 'P'));
  EXPECT_EQ(system_.OpenHandleCount(), 0u);
}

// Tests that an existing output, longer than the new one, is replaced whole.
TEST_F(BuilderTest, ReplacesAnExistingOutput) {
  system_.AddFile(kOutput, std::string(1000, 'o'));
  ASSERT_TRUE(Build());
  ASSERT_TRUE(system_.FileContent(kOutput).has_value());
  EXPECT_EQ(system_.FileContent(kOutput)->size(), 158u);
  EXPECT_EQ(system_.FileContent(kOutput)->substr(150), std::string("\x64\0\0\0BRDX", 8));
}

// Tests the order in which the output is finished and the inputs let go.
TEST_F(BuilderTest, ReleasesInTheStatedOrder) {
  ASSERT_TRUE(Build());
  std::vector<std::string> tail(system_.calls.end() - 5, system_.calls.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"UnmapView", "Close", "Close", "Close", "Close"}));
  EXPECT_EQ(system_.calls[0], std::string("OpenFileForReading ") + kStub);
  EXPECT_NE(std::find(system_.calls.begin(), system_.calls.end(), "CreateMapping 158"),
            system_.calls.end());
}

// Tests that an input that cannot be opened leaves no output at all, and a
// failed create deletes nothing (it may have met an input or another's file).
TEST_F(BuilderTest, FailuresBeforeTheOutputLeaveNoOutput) {
  struct Case {
    const char* name;
    const char* stub;
    const char* package;
    const char* output;
  };
  const Case cases[] = {
      {"missing package", kStub, "C:\\Upd\\missing.brx", kOutput},
      {"missing stub", "C:\\Upd\\missing.exe", kPackage, kOutput},
      {"output folder missing", kStub, kPackage, "C:\\Nowhere\\UPDATE.EXE"},
  };
  for (const Case& c : cases) {
    FakeSystem system;
    system.AddFile(kStub, std::string(100, 'S'));
    system.AddFile(kPackage, std::string(50, 'P'));
    system.AddFolder("C:\\Out");
    EXPECT_FALSE(BuildSelfApplying(system, c.stub, c.package, c.output)) << c.name;
    EXPECT_FALSE(system.HasFile(c.output)) << c.name;
    EXPECT_EQ(system.OpenHandleCount(), 0u) << c.name;
    for (const std::string& call : system.calls) {
      EXPECT_NE(call.rfind("DeletePath", 0), 0u) << c.name;
    }
  }
  // The output named like the stub cannot be created while the stub is
  // read; the stub survives.
  EXPECT_FALSE(BuildSelfApplying(system_, kStub, kPackage, kStub));
  EXPECT_EQ(system_.FileContent(kStub), std::string(100, 'S'));
}

// Tests that a failure of any call after the output was created deletes the
// partial output, once every handle is closed.
TEST_F(BuilderTest, FailureAfterCreationDeletesTheOutput) {
  const char* const kLaterCalls[] = {"CreateMapping", "MapView"};
  for (const char* call : kLaterCalls) {
    for (int nth = 0; nth < 3; ++nth) {  // output, stub and package mapping or view
      FakeSystem system;
      system.AddFile(kStub, std::string(100, 'S'));
      system.AddFile(kPackage, std::string(50, 'P'));
      system.AddFolder("C:\\Out");
      system.AddFile(kOutput, "an older build");
      system.failNthCall[call] = nth;
      EXPECT_FALSE(BuildSelfApplying(system, kStub, kPackage, kOutput)) << call << " " << nth;
      EXPECT_FALSE(system.HasFile(kOutput)) << call << " " << nth;
      EXPECT_EQ(system.OpenHandleCount(), 0u) << call << " " << nth;
      EXPECT_EQ(system.calls.back(), std::string("DeletePath ") + kOutput);
    }
  }
}

// Tests that an empty input, which cannot be mapped, fails and leaves nothing.
TEST_F(BuilderTest, EmptyInputFails) {
  system_.AddFile(kPackage, "");
  EXPECT_FALSE(Build());
  EXPECT_FALSE(system_.HasFile(kOutput));
}

// A FakeSystem whose files report chosen sizes, for sizes no test can hold.
class HugeFileSystem : public FakeSystem {
 public:
  std::optional<uint32_t> FileSize(Handle file) override {
    FakeSystem::FileSize(file);
    return sizes_[fileSizeCalls_++ % 2];
  }
  uint32_t sizes_[2] = {0, 0};

 private:
  int fileSizeCalls_ = 0;
};

// Tests that a stub plus package plus trailer beyond 32 bits fails before the
// output is created; the largest size that fits goes on to the create.
TEST(BuilderSizeTest, TotalBeyond32BitsFailsBeforeTheOutput) {
  struct Case {
    uint32_t stubSize;
    uint32_t packageSize;
    bool outputCreated;
  };
  const Case cases[] = {
      {0xFFFFFFF0u, 8, false},
      {0xFFFFFFF0u, 7, true},
      {0x80000000u, 0x80000000u, false},
      {0xFFFFFFFFu, 0xFFFFFFFFu, false},
  };
  for (const Case& c : cases) {
    HugeFileSystem system;
    system.AddFile(kStub, "S");
    system.AddFile(kPackage, "P");
    system.AddFolder("C:\\Out");
    system.sizes_[0] = c.stubSize;
    system.sizes_[1] = c.packageSize;
    system.failNthCall["CreateMapping"] = 0;  // the huge output is never really made
    EXPECT_FALSE(BuildSelfApplying(system, kStub, kPackage, kOutput));
    const bool created =
        std::find(system.calls.begin(), system.calls.end(),
                  std::string("CreateFileForWriting ") + kOutput) != system.calls.end();
    EXPECT_EQ(created, c.outputCreated) << c.stubSize << " + " << c.packageSize;
    EXPECT_FALSE(system.HasFile(kOutput));
    EXPECT_EQ(system.OpenHandleCount(), 0u);
  }
}

}  // namespace
}  // namespace brx
