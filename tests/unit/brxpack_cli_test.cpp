#include "brxpack/commands/brxpack_cli.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "authoring/writer.h"
#include "support/brxpack_workspace.h"
#include "support/pe_samples.h"

namespace brxpack {
namespace {

using test::RunTool;
using test::Workspace;

constexpr char kManifest[] =
    "[target]\nregistry_key = 'SOFTWARE\\Pub\\App'\npatch_level = 2\n"
    "[startup]\ncaption = 'Обновление'\nquestion = \"Установить?\\r\\nOK\"\n"
    "[payload]\nfolder = 'payload'\n";

void WriteProject(const Workspace& workspace) {
  workspace.Write("brxpack.toml", kManifest);
  workspace.Write("payload/readme.txt", "Read me. Read me. Read me. Read me.");
  workspace.Write("payload/a rather long folder name/and a long file name.txt", "long");
}

// Tests that every command answers --help with exit code 0, and that bad use
// gives exit code 2 with a message.
TEST(BrxpackCliTest, HelpAndBadUse) {
  for (const char* command : {"build", "exe", "list", "verify", "extract", "manifest"}) {
    SCOPED_TRACE(command);
    const test::ToolRun help = RunTool({command, "--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find(std::string("Usage: brxpack ") + command), std::string::npos)
        << help.out;
    const test::ToolRun missing = RunTool({command});
    EXPECT_EQ(missing.code, 2);
    EXPECT_FALSE(missing.err.empty());
  }
  EXPECT_EQ(RunTool({"--help"}).code, 0);
  EXPECT_EQ(RunTool({}).code, 2);
  EXPECT_EQ(RunTool({"bogus"}).code, 2);
  EXPECT_EQ(RunTool({"build", "m.toml", "--level", "10"}).code, 2);
  EXPECT_EQ(RunTool({"list", "/no/such/file.brx"}).code, 2);
  EXPECT_EQ(RunTool({"verify", "/no/such/file.brx"}).code, 2);
}

// Tests that a build's errors name the file, the line and the field, exit 2
// and leave no output behind.
TEST(BrxpackCliTest, BuildErrorsNameTheirPlace) {
  struct Case {
    std::string manifest;
    std::string message;
  };
  const Case cases[] = {
      {std::string(kManifest) + "[remove]\npaths = ['a']\nfiles = ['b']\n",
       "brxpack.toml:11:1: remove.files: unknown key"},
      {std::string(kManifest) + "[folders]\ncreate = ['Карты', 'Ωmega']\n",
       "brxpack.toml:10:20: folders.create[2]: the character 'Ω' (U+03A9) has no Windows-1251 "
       "form"},
      {std::string(kManifest) + "[[file]]\nsource = 'nothing/here.bin'\ninstall = 'here.bin'\n",
       "brxpack.toml:9:1: file[1].source: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    Workspace workspace;
    WriteProject(workspace);
    workspace.Write("brxpack.toml", c.manifest);
    const test::ToolRun run =
        RunTool({"build", workspace.Text("brxpack.toml"), "-o", workspace.Text("out.brx")});
    EXPECT_EQ(run.code, 2);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_FALSE(workspace.Exists("out.brx"));
  }
}

// Tests that build, list and verify agree on a package: the long path shows
// as installed through the name table and the texts come out in UTF-8.
TEST(BrxpackCliTest, BuildListVerify) {
  Workspace workspace;
  WriteProject(workspace);
  const test::ToolRun build = RunTool({"build", workspace.Text("brxpack.toml")});
  ASSERT_EQ(build.code, 0) << build.err;
  ASSERT_TRUE(workspace.Exists("brxpack.brx"));  // named after the manifest

  const test::ToolRun list = RunTool({"list", workspace.Text("brxpack.brx")});
  ASSERT_EQ(list.code, 0) << list.err;
  for (const char* expected : {"package file of ", "~1~and a long file name.txt",
                               "installed as a rather long folder "
                               "name\\and a long file name.txt",
                               "question  \"Установить?\\r\\nOK\"",
                               "registry key    HKLM\\SOFTWARE\\Pub\\App", "patch level     2"}) {
    EXPECT_NE(list.out.find(expected), std::string::npos) << expected << "\n" << list.out;
  }
  EXPECT_EQ(RunTool({"verify", workspace.Text("brxpack.brx")}).code, 0);
}

// Tests that exe writes stub, package and trailer exactly as the installer's
// builder mode lays them, that build --exe makes the same file, and that a
// signed stub loses its signature first and says so.
TEST(BrxpackCliTest, MakesSelfApplyingExecutables) {
  Workspace workspace;
  WriteProject(workspace);
  const std::vector<uint8_t> stub = brx::test::SamplePe32(0x400);
  workspace.Write("PATCH.EXE", stub);
  ASSERT_EQ(RunTool({"build", workspace.Text("brxpack.toml"), "-o", workspace.Text("u.brx")}).code,
            0);
  const test::ToolRun exe = RunTool({"exe", workspace.Text("u.brx"), "-o", workspace.Text("u.exe"),
                                     "--stub", workspace.Text("PATCH.EXE")});
  ASSERT_EQ(exe.code, 0) << exe.err;
  const std::vector<uint8_t> expected =
      brx::AppendPackageToStub(stub, workspace.ReadBytes("u.brx"));
  EXPECT_EQ(workspace.ReadBytes("u.exe"), expected);

  const test::ToolRun direct =
      RunTool({"build", workspace.Text("brxpack.toml"), "--exe", workspace.Text("direct.exe"),
               "--stub", workspace.Text("PATCH.EXE")});
  ASSERT_EQ(direct.code, 0) << direct.err;
  EXPECT_EQ(workspace.ReadBytes("direct.exe"), expected);
  EXPECT_FALSE(workspace.Exists("brxpack.brx"));  // only the executable was asked for

  const test::ToolRun list = RunTool({"list", workspace.Text("u.exe")});
  EXPECT_NE(list.out.find("Signature:  none"), std::string::npos) << list.out;

  std::vector<uint8_t> signedStub = stub;
  brx::test::AppendCertificateTable(signedStub, 256);
  workspace.Write("SIGNED.EXE", signedStub);
  const test::ToolRun stripped =
      RunTool({"exe", workspace.Text("u.brx"), "-o", workspace.Text("s.exe"), "--stub",
               workspace.Text("SIGNED.EXE")});
  ASSERT_EQ(stripped.code, 0) << stripped.err;
  EXPECT_NE(stripped.err.find("carries an Authenticode signature; removed it (256 bytes"),
            std::string::npos)
      << stripped.err;
  const std::vector<uint8_t> result = workspace.ReadBytes("s.exe");
  EXPECT_EQ(brx::ReadLe32(result.data() + brx::test::kSampleSecurityEntry + 4), 0u);
  EXPECT_EQ(brx::ReadLe32(result.data() + result.size() - 8), 0x400u);
  EXPECT_EQ(RunTool({"verify", workspace.Text("s.exe")}).code, 0);

  // A package that the installer would refuse makes no executable.
  workspace.Write("bad.brx", std::string("Brindlex data  \x1A", 16));
  EXPECT_EQ(RunTool({"exe", workspace.Text("bad.brx"), "-o", workspace.Text("bad.exe"), "--stub",
                     workspace.Text("PATCH.EXE")})
                .code,
            2);
  EXPECT_FALSE(workspace.Exists("bad.exe"));
}

// Tests that list and verify report a signature that ends a self-applying
// executable, and read the package in front of it.
TEST(BrxpackCliTest, ReportsASignature) {
  Workspace workspace;
  WriteProject(workspace);
  workspace.Write("PATCH.EXE", brx::test::SamplePe32(0x400));
  ASSERT_EQ(RunTool({"build", workspace.Text("brxpack.toml"), "--exe", workspace.Text("u.exe"),
                     "--stub", workspace.Text("PATCH.EXE")})
                .code,
            0);
  std::vector<uint8_t> signedExe = workspace.ReadBytes("u.exe");
  brx::test::AppendCertificateTable(signedExe, 128);
  workspace.Write("signed.exe", signedExe);
  const test::ToolRun list = RunTool({"list", workspace.Text("signed.exe")});
  ASSERT_EQ(list.code, 0) << list.err;
  EXPECT_NE(list.out.find("Signature:  present: Authenticode certificate table of 128 bytes"),
            std::string::npos)
      << list.out;
  const test::ToolRun verify = RunTool({"verify", workspace.Text("signed.exe")});
  EXPECT_EQ(verify.code, 0) << verify.out;
  EXPECT_NE(verify.out.find("signature: present"), std::string::npos) << verify.out;
}

}  // namespace
}  // namespace brxpack
