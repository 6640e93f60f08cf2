#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "brxpack/authoring/authenticode.h"
#include "package/format.h"
#include "support/brxpack_workspace.h"
#include "support/pe_samples.h"

namespace brxpack {
namespace {

using namespace std::string_literals;
using brx::EntryStorage;
using test::Bytes;
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
  workspace.Write("PATCH.EXE", brx::test::SamplePe32(0x400));
}

// Tests that help ends with exit code 0 and bad use with exit code 2 and a
// message.
TEST(BrxpackCliTest, ExitCodesOfHelpAndBadUse) {
  struct Case {
    std::vector<std::string> arguments;
    int code;
  };
  const Case cases[] = {
      {{"manifest", "--help"}, 0},
      {{"list", "/no/such/file.brx"}, 2},
      {{"verify", "/no/such/file.brx"}, 2},
  };
  for (const Case& c : cases) {
    const test::ToolRun run = RunTool(c.arguments);
    EXPECT_EQ(run.code, c.code) << c.arguments.size();
    EXPECT_EQ(run.err.empty(), c.code == 0) << run.err;
  }
}

// Tests that build names the package after the manifest, and that list and
// verify agree on it: the long path installed through the name table, texts
// in UTF-8, columns aligned.
TEST(BrxpackCliTest, BuildListVerify) {
  Workspace workspace;
  WriteProject(workspace);
  const test::ToolRun build = RunTool({"build", workspace.Text("brxpack.toml")});
  ASSERT_EQ(build.code, 0) << build.err;
  const test::ToolRun list = RunTool({"list", workspace.Text("brxpack.brx")});
  ASSERT_EQ(list.code, 0) << list.err;
  for (const std::string& expected : std::vector<std::string>{
           "package file of ", "     # Name" + std::string(28, ' ') + "Kind     Method  ",
           "installed as a rather long folder name\\and a long file name.txt",
           "~1~and a long file name.txt", "question  \"Установить?\\r\\nOK\"",
           "registry key    HKLM\\SOFTWARE\\Pub\\App", "patch level     2"}) {
    EXPECT_NE(list.out.find(expected), std::string::npos) << expected << "\n" << list.out;
  }
  EXPECT_EQ(RunTool({"verify", workspace.Text("brxpack.brx")}).code, 0);
}

// Tests that exe writes stub, package and trailer exactly as the installer's
// builder mode lays them, that build --exe makes the same file alone, that
// a signed stub loses its signature first and says so, that list and verify
// see a signature added afterwards, and that a package the installer would
// refuse makes no executable.
TEST(BrxpackCliTest, MakesSelfApplyingExecutables) {
  Workspace workspace;
  WriteProject(workspace);
  ASSERT_EQ(RunTool({"build", workspace.Text("brxpack.toml"), "-o", workspace.Text("u.brx")}).code,
            0);
  const std::vector<uint8_t> package = workspace.ReadBytes("u.brx");
  const std::vector<uint8_t> expected =
      brx::AppendPackageToStub(workspace.ReadBytes("PATCH.EXE"), package);
  const test::ToolRun exe = RunTool({"exe", workspace.Text("u.brx"), "-o", workspace.Text("u.exe"),
                                     "--stub", workspace.Text("PATCH.EXE")});
  ASSERT_EQ(exe.code, 0) << exe.err;
  EXPECT_EQ(workspace.ReadBytes("u.exe"), expected);
  const test::ToolRun direct =
      RunTool({"build", workspace.Text("brxpack.toml"), "--exe", workspace.Text("direct.exe"),
               "--stub", workspace.Text("PATCH.EXE")});
  ASSERT_EQ(direct.code, 0) << direct.err;
  EXPECT_EQ(workspace.ReadBytes("direct.exe"), expected);
  EXPECT_FALSE(workspace.Exists("brxpack.brx"));

  std::vector<uint8_t> signedStub = workspace.ReadBytes("PATCH.EXE");
  brx::test::AppendCertificateTable(signedStub, 256);
  workspace.Write("SIGNED.EXE", signedStub);
  const test::ToolRun stripped =
      RunTool({"build", workspace.Text("brxpack.toml"), "-o", workspace.Text("u.brx"), "--exe",
               workspace.Text("s.exe"), "--stub", workspace.Text("SIGNED.EXE")});
  ASSERT_EQ(stripped.code, 0) << stripped.err;
  EXPECT_NE(stripped.err.find("carries an Authenticode signature; removed it (256 bytes"),
            std::string::npos)
      << stripped.err;
  const Result<UnsignedStub> unsignedStub =
      RemoveSignature({signedStub.data(), static_cast<uint32_t>(signedStub.size())});
  ASSERT_TRUE(unsignedStub.ok());
  EXPECT_EQ(workspace.ReadBytes("s.exe"), brx::AppendPackageToStub(unsignedStub->bytes, package));
  EXPECT_NE(RunTool({"list", workspace.Text("s.exe")}).out.find("Signature:  none"),
            std::string::npos);

  // Signed after the build: list and verify read the package in front of
  // the signature and report it.
  std::vector<uint8_t> signedExe = workspace.ReadBytes("s.exe");
  brx::test::AppendCertificateTable(signedExe, 128);
  workspace.Write("signed.exe", signedExe);
  EXPECT_NE(RunTool({"list", workspace.Text("signed.exe")})
                .out.find("Signature:  present: Authenticode certificate table of 128 bytes"),
            std::string::npos);
  const test::ToolRun verify = RunTool({"verify", workspace.Text("signed.exe")});
  EXPECT_EQ(verify.code, 0) << verify.out;
  EXPECT_NE(verify.out.find("signature: present"), std::string::npos) << verify.out;

  workspace.Write("bad.brx", std::string("Brindlex data  \x1A", 16));
  EXPECT_EQ(RunTool({"exe", workspace.Text("bad.brx"), "-o", workspace.Text("bad.exe"), "--stub",
                     workspace.Text("PATCH.EXE")})
                .code,
            2);
  EXPECT_FALSE(workspace.Exists("bad.exe"));
}

const brx::PackageEntrySource kKeys = {":RegistryKeys", Bytes("K\0P\0N\0L\0\1\0\0\0\0"s),
                                       EntryStorage::kStored};

// Tests that files are written under their installed names (through the
// name table, Windows-1251 names as UTF-8), that a later entry for the same
// path wins as it does when installing, and that sections are not written.
TEST(ExtractCommandTest, WritesInstalledNames) {
  Workspace workspace;
  workspace.Write("p.brx",
                  test::PackageOf({kKeys,
                                   {":XlatNamesTable", Bytes("~1~n.txt\0deep\\er\\n.txt\0\0"s),
                                    EntryStorage::kStored},
                                   {"~1~n.txt", Bytes("translated"), EntryStorage::kCompressed},
                                   {"\xCA\xE0\xF0\xF2\xFB\\a.map", Bytes(std::string(100000, 'm')),
                                    EntryStorage::kCompressed},
                                   {"same.txt", Bytes("first"), EntryStorage::kStored},
                                   {"SAME.txt", Bytes("second"), EntryStorage::kStored}}));
  const test::ToolRun run =
      RunTool({"extract", workspace.Text("p.brx"), "-C", workspace.Text("out")});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(workspace.Files(), (std::vector<std::string>{"out/deep/er/n.txt", "out/same.txt",
                                                         "out/Карты/a.map", "p.brx"}));
  EXPECT_EQ(workspace.Read("out/deep/er/n.txt"), "translated");
  EXPECT_EQ(workspace.Read("out/Карты/a.map"), std::string(100000, 'm'));
  EXPECT_EQ(workspace.Read("out/same.txt"), "second");
}

// Tests that names that would leave the folder refuse the whole extraction:
// nothing is written, and every such name is reported.
TEST(ExtractCommandTest, RefusesNamesThatEscape) {
  Workspace workspace;
  workspace.Write("p.brx",
                  test::PackageOf({kKeys,
                                   {"fine.txt", Bytes("fine"), EntryStorage::kStored},
                                   {"..\\evil.dll", Bytes("evil"), EntryStorage::kStored},
                                   {"C:\\evil.dll", Bytes("evil"), EntryStorage::kStored}}));
  const test::ToolRun run =
      RunTool({"extract", workspace.Text("p.brx"), "-C", workspace.Text("out/inner")});
  EXPECT_EQ(run.code, 2);
  for (const char* name : {"..\\evil.dll", "C:\\evil.dll"}) {
    EXPECT_NE(run.err.find("p.brx: entry \"" + std::string(name) + "\" installed as"),
              std::string::npos)
        << run.err;
  }
  EXPECT_NE(run.err.find("\nbrxpack: nothing extracted"), std::string::npos) << run.err;
  EXPECT_EQ(workspace.Files(), std::vector<std::string>{"p.brx"});
}

// Tests that a damaged file entry is reported (exit 1) and not written,
// while the sound ones are.
TEST(ExtractCommandTest, ReportsDamagedEntries) {
  Workspace workspace;
  std::vector<uint8_t> package =
      test::PackageOf({kKeys,
                       {"good.txt", Bytes("good good good"), EntryStorage::kCompressed},
                       {"bad.txt", Bytes(std::string(500, 'b')), EntryStorage::kCompressed}});
  // The last byte before the directory is the bad entry's Adler-32.
  package[brx::ReadLe32(package.data() + 20) - 1] ^= 0xFF;
  workspace.Write("p.brx", package);
  const test::ToolRun run =
      RunTool({"extract", workspace.Text("p.brx"), "-C", workspace.Text("out")});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("entry \"bad.txt\" is damaged"), std::string::npos) << run.err;
  EXPECT_EQ(workspace.Files(), (std::vector<std::string>{"out/good.txt", "p.brx"}));
}

}  // namespace
}  // namespace brxpack
