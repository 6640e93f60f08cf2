#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "brxpack/stub/authenticode.h"
#include "package/format.h"
#include "support/brxpack_workspace.h"
#include "support/pe_samples.h"

namespace brxpack {
namespace {

using namespace std::string_literals;
using test::Bytes;
using test::EntryStorage;
using test::Placed;
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

// Tests the conventions publishers expect of a command-line tool: exit
// codes, --version, a near miss named, every error line led by "brxpack:",
// "-o=FILE", several files to verify, JSON from list and verify, -q, and
// outputs that would destroy or be packed with the inputs refused before
// anything is written; warnings that --werror turns into errors.
TEST(BrxpackCliTest, KeepsTheConventions) {
  Workspace workspace;
  WriteProject(workspace);
  workspace.Write("warn.toml", std::string(kManifest) + "[[command]]\nprogram = 'tools\\x.exe'\n");
  workspace.Write("old/readme.txt", "an older text");
  ASSERT_EQ(RunTool({"build", workspace.Text("brxpack.toml")}).code, 0);
  struct Case {
    std::vector<std::string> arguments;
    int code;
    std::string out;  // found in the standard output; "-" for none at all
    std::string err;  // found in the error output
  };
  const Case cases[] = {
      {{"--version"}, 0, "brxpack ", ""},
      {{"biuld", "@brxpack.toml"},
       2,
       "-",
       "brxpack: 'biuld' is not a command; did you mean build?"},
      {{"list", "/no/such/file.brx"}, 2, "-", "brxpack: /no/such/file.brx: cannot open"},
      {{"list", "--jsn", "@brxpack.brx"},
       2,
       "-",
       "brxpack: --jsn is not an option of brxpack list, did you mean --json? (brxpack list "
       "--help)"},
      {{"build", "@brxpack.toml", "--bets"},
       2,
       "-",
       "--bets is not an option of brxpack build, "
       "did you mean --best? (brxpack build --help)"},
      {{"build", "@brxpack.toml", "--levle=3"}, 2, "-", "did you mean --level?"},
      {{"build", "@brxpack.toml", "--colour"},
       2,
       "-",
       "--colour is not an option of brxpack "
       "build (brxpack build --help)"},
      {{"--versoin"},
       2,
       "-",
       "brxpack: --versoin is not an option of brxpack, did you mean "
       "--version? (brxpack --help)"},
      {{"build"}, 2, "-", "MANIFEST is required (brxpack build --help)"},
      {{"help", "sumilate"}, 2, "-", "'sumilate' is not a command; did you mean simulate?"},
      {{"build", "@", "-o", "@x.brx"}, 2, "-", "a folder; build takes the manifest file"},
      {{"build", "@brxpack.toml", "-o=@eq.brx"}, 0, "wrote @eq.brx", ""},
      {{"build", "@brxpack.toml", "-o="}, 2, "-", "brxpack: -o= gives no value"},
      {{"build", "@brxpack.toml", "-o", "@payload/update.brx"},
       2,
       "-",
       "update.brx: the output would lie inside the payload folder"},
      {{"build", "@brxpack.toml", "-o", "@brxpack.toml"},
       2,
       "-",
       "brxpack.toml: the output would overwrite the manifest"},
      {{"build", "@brxpack.toml", "-o", "@payload/readme.txt"},
       2,
       "-",
       "readme.txt: the output would overwrite a file the package takes"},
      {{"manifest", "@brxpack.brx", "-o", "@brxpack.brx"},
       2,
       "-",
       "brxpack.brx: the output would overwrite the package"},
      {{"build", "-q", "@brxpack.toml", "-o", "@quiet.brx"}, 0, "-", ""},
      {{"build", "@warn.toml", "-o", "@w.brx"},
       0,
       "wrote",
       "brxpack: warning: @warn.toml:9:1: command[1].program: 'tools\\x.exe' is not among the "
       "package's files"},
      {{"build", "@warn.toml", "-o", "@werror.brx", "--werror"},
       2,
       "-",
       "brxpack: the build has warnings, which --werror makes errors"},
      {{"build", "@brxpack.toml", "--level", "0", "-o", "@stored.brx"}, 0, "; 0 compressed,", ""},
      {{"build", "@brxpack.toml", "--best", "--level", "3"}, 2, "-", "--level excludes --best"},
      {{"build", "@brxpack.toml", "--zlib", "--best"}, 2, "-", "--zlib takes levels 0-9"},
      {{"verify", "@brxpack.brx", "@quiet.brx", "/no/such"},
       2,
       "@quiet.brx: OK",
       "brxpack: /no/such: cannot open"},
      {{"verify", "-q", "@brxpack.brx"}, 0, "-", ""},
      {{"diff", "@old", "@payload", "-o", "@loud.toml"}, 0, "wrote @loud.toml: 1 changed", ""},
      {{"diff", "-q", "@old", "@payload", "-o", "@quiet.toml"}, 0, "-", ""},
      {{"diff", "--json", "@old", "@payload"},
       0,
       "{\"output\":null,\"manifest\":\"# The update from @old",
       ""},
      {{"diff", "--json", "@old", "@payload", "-o", "@j.toml"},
       0,
       "{\"output\":\"@j.toml\",\"changed\":[{\"path\":\"readme.txt\",\"size\":35}],\"new\":[{",
       ""},
      {{"build", "--json", "@warn.toml", "-o", "@j.brx"},
       0,
       "{\"package\":\"@j.brx\",\"exe\":null,\"brand\":null,\"entries\":6,\"sections\":4,"
       "\"files\":2,\"compressed\":2,\"contentBytes\":222,\"packageBytes\":",
       "brxpack: warning: "},
      {{"verify", "--json", "@brxpack.brx"},
       0,
       "{\"files\":[{\"file\":\"@brxpack.brx\",\"verdict\":\"ok\",\"facts\":[",
       ""},
      {{"list", "--json", "@brxpack.brx"}, 0, "},\"entries\":[{\"name\":\":RegistryKeys\",", ""},
      {{"list", "--json", "@brxpack.brx"},
       0,
       "\"size\":4,\"storedSize\":15,\"installedAs\":\"a rather long folder name\\\\and a long "
       "file name.txt\"}",
       ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments;
    for (const std::string& argument : c.arguments)
      arguments.push_back(Placed(workspace, argument));
    SCOPED_TRACE(arguments[0] + " " + (arguments.size() > 1 ? arguments[1] : ""));
    const test::ToolRun run = RunTool(arguments);
    EXPECT_EQ(run.code, c.code) << run.err;
    const bool nothing = c.out == "-";
    EXPECT_EQ(run.out.empty(), nothing) << run.out;
    EXPECT_NE(run.out.find(nothing ? "" : Placed(workspace, c.out)), std::string::npos) << run.out;
    EXPECT_NE(run.err.find(Placed(workspace, c.err)), std::string::npos) << run.err;
    std::istringstream lines(run.err);
    for (std::string line; std::getline(lines, line);) EXPECT_EQ(line.rfind("brxpack: ", 0), 0u);
  }
  EXPECT_FALSE(workspace.Exists("payload/update.brx"));
  EXPECT_FALSE(workspace.Exists("werror.brx"));
  EXPECT_EQ(workspace.Read("brxpack.toml"), kManifest);
}

// Tests that every command the help lists answers "help COMMAND" with its
// own usage and exit 0, as the man page and completion written from the
// help rely on.
TEST(BrxpackCliTest, HelpsWithEveryCommandItLists) {
  const test::ToolRun top = RunTool({"help"});
  std::istringstream lines(top.out.substr(top.out.find("\nSubcommands:\n") + 14));
  size_t listed = 0;
  for (std::string line; std::getline(lines, line) && line.starts_with("  "); ++listed) {
    const std::string name = line.substr(2, line.find(' ', 2) - 2);
    const test::ToolRun help = RunTool({"help", name});
    EXPECT_EQ(help.code, 0) << help.err;
    EXPECT_NE(help.out.find("\nUsage: brxpack " + name + " [OPTIONS] "), std::string::npos);
  }
  EXPECT_EQ(top.code, 0);
  EXPECT_EQ(listed, 9u) << top.out;
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
// builder mode lays them, that build --exe makes the same file alone and says
// what it wrote, that a signed stub loses its signature first and says so, and
// that a package the installer would refuse makes no executable.
TEST(BrxpackCliTest, MakesSelfApplyingExecutables) {
  Workspace workspace;
  WriteProject(workspace);
  ASSERT_EQ(RunTool({"build", workspace.Text("brxpack.toml"), "-o", workspace.Text("u.brx")}).code,
            0);
  const std::vector<uint8_t> package = workspace.ReadBytes("u.brx");
  const std::vector<uint8_t> expected =
      brx::test::SelfApplying(workspace.ReadBytes("PATCH.EXE"), package);
  const test::ToolRun exe = RunTool({"exe", workspace.Text("u.brx"), "-o", workspace.Text("u.exe"),
                                     "--stub", workspace.Text("PATCH.EXE")});
  ASSERT_EQ(exe.code, 0) << exe.err;
  EXPECT_EQ(workspace.ReadBytes("u.exe"), expected);
  const test::ToolRun direct =
      RunTool({"build", workspace.Text("brxpack.toml"), "--exe", workspace.Text("direct.exe"),
               "--stub", workspace.Text("PATCH.EXE")});
  ASSERT_EQ(direct.code, 0) << direct.err;
  EXPECT_EQ(workspace.ReadBytes("direct.exe"), expected);
  const std::string wrote = "brxpack: wrote " + workspace.Text("direct.exe") +
                            ": 5 entries (3 sections, 2 files; 2 compressed, 3 in stored blocks), ";
  EXPECT_EQ(direct.out.rfind(wrote, 0), 0u) << direct.out;
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
  EXPECT_EQ(workspace.ReadBytes("s.exe"), brx::test::SelfApplying(unsignedStub->bytes, package));
  EXPECT_NE(RunTool({"list", workspace.Text("s.exe")}).out.find("Signature:  none"),
            std::string::npos);

  workspace.Write("bad.brx", std::string("Brindlex data  \x1A", 16));
  EXPECT_EQ(RunTool({"exe", workspace.Text("bad.brx"), "-o", workspace.Text("bad.exe"), "--stub",
                     workspace.Text("PATCH.EXE")})
                .code,
            2);
  EXPECT_FALSE(workspace.Exists("bad.exe"));
}

// Tests that no command writes over the stub in use, however the output
// names it (the same path, "..", a symlink, a hard link): each is refused,
// naming the stub, and the stub keeps its bytes.
TEST(BrxpackCliTest, NeverWritesOverTheStubInUse) {
  Workspace workspace;
  WriteProject(workspace);
  workspace.Write("brand.toml",
                  std::string(kManifest) + "[brand]\nproduct = 'App'\nversion = '2.0'\n");
  workspace.Write("sub/keep.txt", "");
  ASSERT_EQ(RunTool({"build", workspace.Text("brxpack.toml"), "-o", workspace.Text("u.brx")}).code,
            0);
  std::filesystem::create_symlink(workspace.Path("PATCH.EXE"), workspace.Path("LINK.EXE"));
  std::filesystem::create_hard_link(workspace.Path("PATCH.EXE"), workspace.Path("HARD.EXE"));
  const std::vector<uint8_t> stub = workspace.ReadBytes("PATCH.EXE");
  const std::vector<std::vector<std::string>> commands = {
      {"build", "@brxpack.toml", "--exe", "@PATCH.EXE", "--stub", "@PATCH.EXE"},
      {"build", "@brxpack.toml", "-o", "@v.brx", "--exe", "@sub/../PATCH.EXE", "--stub",
       "@PATCH.EXE"},
      {"exe", "@u.brx", "-o", "@LINK.EXE", "--stub", "@PATCH.EXE"},
      {"exe", "@u.brx", "-o", "@HARD.EXE", "--stub", "@LINK.EXE"},
      {"brand", "@brand.toml", "-o", "@HARD.EXE", "--stub", "@PATCH.EXE"},
  };
  for (const std::vector<std::string>& command : commands) {
    std::vector<std::string> arguments;
    for (const std::string& argument : command) arguments.push_back(Placed(workspace, argument));
    const test::ToolRun run = RunTool(arguments);
    EXPECT_EQ(run.code, 2) << arguments[0] << " " << arguments[3] << "\n" << run.out;
    EXPECT_NE(run.err.find("which brxpack never writes over"), std::string::npos)
        << arguments[3] << "\n"
        << run.err;
    EXPECT_EQ(workspace.ReadBytes("PATCH.EXE"), stub) << arguments[3];
  }
  EXPECT_FALSE(workspace.Exists("v.brx"));
}

// Tests that the stub's architecture is chosen by --arch over the
// manifest's [target] arch over x86, that a stub of the other architecture
// or of none is refused before anything is written, and that list and
// verify tell an executable's stub, and why a file is none.
TEST(BrxpackCliTest, ChoosesTheStubsArchitecture) {
  Workspace workspace;
  WriteProject(workspace);
  const std::string target = "[target]\n";
  const std::string manifest = std::string(kManifest).substr(target.size());
  workspace.Write("x64.toml", target + "arch = 'x64'\n" + manifest);
  workspace.Write("arm.toml", target + "arch = 'arm64'\n" + manifest);
  workspace.Write("X64.EXE", brx::test::SamplePe32Plus(0x400));
  std::vector<uint8_t> odd = brx::test::SamplePe32Plus(0x400);
  odd[brx::test::kSamplePeOffset + 4] = 0x4C;  // i386 in a PE32+ header
  odd[brx::test::kSamplePeOffset + 5] = 0x01;
  workspace.Write("ODD.EXE", odd);
  ASSERT_EQ(RunTool({"build", workspace.Text("brxpack.toml"), "-o", workspace.Text("u.brx")}).code,
            0);
  struct Case {
    std::vector<std::string> arguments;
    int code;
    std::string out;  // found in the standard output
    std::string err;  // found in the error output
  };
  const std::string mismatch = ": the stub is x64 (PE32+, AMD64), but x86 was chosen (";
  const Case cases[] = {
      {{"exe", "@u.brx", "-o", "@a.exe", "--stub", "@PATCH.EXE"}, 0, "wrote", ""},
      {{"exe", "@u.brx", "-o", "@b.exe", "--stub", "@X64.EXE", "--arch", "x64"}, 0, "wrote", ""},
      {{"exe", "@u.brx", "-o", "@c.exe", "--stub", "@X64.EXE"},
       2,
       "",
       "brxpack: @X64.EXE" + mismatch + "the default); give the x86 stub, or choose --arch x64"},
      {{"exe", "@u.brx", "-o", "@c.exe", "--stub", "@PATCH.EXE", "--arch", "x64"},
       2,
       "",
       "@PATCH.EXE: the stub is x86 (PE32, i386), but x64 was chosen (--arch x64)"},
      {{"build", "@x64.toml", "--exe", "@d.exe", "--stub", "@X64.EXE"}, 0, "wrote", ""},
      {{"build", "@x64.toml", "-o", "@c.brx", "--exe", "@c.exe", "--stub", "@PATCH.EXE"},
       2,
       "",
       "but x64 was chosen (the manifest's [target] arch)"},
      {{"build", "@x64.toml", "--exe", "@e.exe", "--stub", "@PATCH.EXE", "--arch", "x86"},
       0,
       "wrote",
       ""},
      {{"build", "@brxpack.toml", "--exe", "@c.exe", "--stub", "@X64.EXE", "--arch", "x86"},
       2,
       "",
       mismatch + "--arch x86)"},
      {{"exe", "@u.brx", "-o", "@c.exe", "--stub", "@ODD.EXE", "--arch", "x86"},
       2,
       "",
       "@ODD.EXE: no installer stub: a PE32+ image for machine 0x014C, neither PE32 for i386 "
       "(x86) nor PE32+ for AMD64 (x64)"},
      {{"exe", "@u.brx", "-o", "@c.exe", "--stub", "@brxpack.toml"},
       2,
       "",
       "brxpack.toml: no installer stub: not a Windows program"},
      {{"exe", "@u.brx", "-o", "@c.exe", "--arch", "arm64"}, 2, "", "brxpack: --arch: arm64"},
      {{"build", "@arm.toml", "--exe", "@c.exe"},
       2,
       "",
       "arm.toml:2:8: target.arch: must be \"x86\" or \"x64\", not 'arm64'"},
      {{"list", "@b.exe"}, 0, "\nStub:       x64 (PE32+, AMD64)\n", ""},
      {{"list", "--json", "@d.exe"}, 0, "\"signature\":\"none\",\"stubArch\":\"x64\"", ""},
      {{"list", "--json", "@a.exe"}, 0, "\"stubArch\":\"x86\"", ""},
      {{"list", "--json", "@u.brx"}, 0, "\"stubArch\":null", ""},
      {{"verify", "@e.exe"}, 0, "@e.exe: stub: x86 (PE32, i386)\n", ""},
      {{"verify", "--json", "@b.exe"}, 0, "\"notes\":[],\"stubArch\":\"x64\"}]}", ""},
      {{"verify", "@PATCH.EXE"}, 1, "executable\n@PATCH.EXE: stub: x86 (PE32, i386)\n", ""},
      {{"verify", "@ODD.EXE"}, 1, "refuses it: no trailer: the last eight bytes", ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments;
    for (const std::string& argument : c.arguments)
      arguments.push_back(Placed(workspace, argument));
    SCOPED_TRACE(arguments[0] + " " + arguments[1] + " " + arguments.back());
    const test::ToolRun run = RunTool(arguments);
    EXPECT_EQ(run.code, c.code) << run.err;
    EXPECT_NE(run.out.find(Placed(workspace, c.out)), std::string::npos) << run.out;
    EXPECT_NE(run.err.find(Placed(workspace, c.err)), std::string::npos) << run.err;
  }
  EXPECT_FALSE(workspace.Exists("c.exe"));
  EXPECT_FALSE(workspace.Exists("c.brx"));
}

// Tests that a signature added after the build is read in front of, and
// checked, behind a PE32 and a PE32+ stub alike: verify recomputes the
// image's Authenticode digest and finds it equal to the signed one
// (osslsigncode signs here with a throw-away certificate), and one byte
// changed afterwards is damage.
TEST(BrxpackCliTest, ChecksTheSignaturesDigest) {
  Workspace workspace;
  WriteProject(workspace);
  workspace.Write("X64.EXE", brx::test::SamplePe32Plus(0x400));
  const std::string key = workspace.Text("key.pem");
  const std::string cert = workspace.Text("cert.pem");
  const std::string quiet = " >/dev/null 2>&1";
  ASSERT_EQ(std::system(("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=test "
                         "-keyout " +
                         key + " -out " + cert + quiet)
                            .c_str()),
            0)
      << "openssl is missing (scripts/bootstrap installs it)";
  for (const std::string arch : {"x86", "x64"}) {
    SCOPED_TRACE(arch);
    const std::string stub = arch == "x64" ? "X64.EXE" : "PATCH.EXE";
    const std::string signedExe = workspace.Text("s-" + arch + ".exe");
    ASSERT_EQ(RunTool({"build", workspace.Text("brxpack.toml"), "--exe", workspace.Text("u.exe"),
                       "--stub", workspace.Text(stub), "--arch", arch})
                  .code,
              0);
    ASSERT_EQ(std::system(("osslsigncode sign -certs " + cert + " -key " + key + " -in " +
                           workspace.Text("u.exe") + " -out " + signedExe + quiet)
                              .c_str()),
              0)
        << "osslsigncode is missing (scripts/bootstrap installs it)";
    EXPECT_NE(RunTool({"list", signedExe})
                  .out.find("Signature:  present: Authenticode certificate table of "),
              std::string::npos);
    const test::ToolRun verify = RunTool({"verify", signedExe});
    EXPECT_EQ(verify.code, 0) << verify.out;
    EXPECT_NE(verify.out.find("its digest matches the image (SHA256 "), std::string::npos)
        << verify.out;

    std::vector<uint8_t> changed = workspace.ReadBytes("s-" + arch + ".exe");
    changed[0x200] ^= 0x01;  // a byte of the stub's image, under no checksum of the package
    workspace.Write("changed.exe", changed);
    const test::ToolRun damaged = RunTool({"verify", workspace.Text("changed.exe")});
    EXPECT_EQ(damaged.code, 1) << damaged.out;
    EXPECT_NE(damaged.out.find("PROBLEM: the signature does not sign this file: bytes changed "
                               "after signing, its digest differs (SHA256: signed "),
              std::string::npos)
        << damaged.out;
  }
}

const test::PackageEntrySource kKeys = {":RegistryKeys", Bytes("K\0P\0N\0L\0\1\0\0\0\0"s),
                                        EntryStorage::kStored};

// Tests that files are written under their installed names (through the
// name table, Windows-1251 names as UTF-8), and that sections are not
// written.
TEST(ExtractCommandTest, WritesInstalledNames) {
  Workspace workspace;
  workspace.Write("p.brx",
                  test::PackageOf({kKeys,
                                   {":XlatNamesTable", Bytes("~1~n.txt\0deep\\er\\n.txt\0\0"s),
                                    EntryStorage::kStored},
                                   {"~1~n.txt", Bytes("translated"), EntryStorage::kCompressed},
                                   {"\xCA\xE0\xF0\xF2\xFB\\a.map", Bytes(std::string(100000, 'm')),
                                    EntryStorage::kCompressed}}));
  const test::ToolRun run =
      RunTool({"extract", workspace.Text("p.brx"), "-C", workspace.Text("out")});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(workspace.Files(),
            (std::vector<std::string>{"out/deep/er/n.txt", "out/Карты/a.map", "p.brx"}));
  EXPECT_EQ(workspace.Read("out/deep/er/n.txt"), "translated");
  EXPECT_EQ(workspace.Read("out/Карты/a.map"), std::string(100000, 'm'));
}

// Tests that a damaged file entry is reported (exit 1) and not written,
// while the sound ones are, an empty one among them.
TEST(ExtractCommandTest, ReportsDamagedEntries) {
  Workspace workspace;
  std::vector<uint8_t> package =
      test::PackageOf({kKeys,
                       {"good.txt", Bytes(""), EntryStorage::kCompressed},
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

// Tests that an existing file refuses the whole extraction before anything
// is written (exit 2, the file named), and that --force replaces it.
TEST(ExtractCommandTest, ReplacesExistingFilesOnlyWhenForced) {
  Workspace workspace;
  workspace.Write("p.brx", test::PackageOf({kKeys,
                                            {"a.txt", Bytes("new a"), EntryStorage::kCompressed},
                                            {"b.txt", Bytes("new b"), EntryStorage::kCompressed}}));
  struct Case {
    std::vector<std::string> extra;
    int code;
    std::string a;  // out/a.txt afterwards
    bool wroteB;
  };
  const Case cases[] = {
      {{}, 2, "old a", false},
      {{"--force"}, 0, "new a", true},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(workspace.Path("out"));
    workspace.Write("out/a.txt", "old a");
    std::vector<std::string> arguments = {"extract", workspace.Text("p.brx"), "-C",
                                          workspace.Text("out")};
    arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
    const test::ToolRun run = RunTool(arguments);
    EXPECT_EQ(run.code, c.code) << run.err;
    EXPECT_EQ(workspace.Read("out/a.txt"), c.a);
    EXPECT_EQ(workspace.Exists("out/b.txt"), c.wroteB);
    if (c.code != 0) {
      EXPECT_NE(run.err.find("brxpack: " + workspace.Text("out/a.txt") + ": exists"),
                std::string::npos)
          << run.err;
    }
  }
}

// Runs extract in a child whose files may not grow past `limit` bytes, as on
// a full disk; its alarm bounds the wait.
test::ToolRun ExtractWithFileSizeLimit(const Workspace& workspace, rlim_t limit) {
  const pid_t child = fork();
  if (child == 0) {
    alarm(60);
    signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG instead
    const rlimit small = {limit, limit};
    setrlimit(RLIMIT_FSIZE, &small);
    const test::ToolRun run =
        RunTool({"extract", workspace.Text("p.brx"), "-C", workspace.Text("out"), "--jobs", "1"});
    std::ofstream(workspace.Path("child.out")) << run.out;
    std::ofstream(workspace.Path("child.err")) << run.err;
    _exit(run.code);
  }
  int status = 0;
  EXPECT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
  test::ToolRun run = {WEXITSTATUS(status), workspace.Read("child.out"),
                       workspace.Read("child.err")};
  std::filesystem::remove(workspace.Path("child.out"));
  std::filesystem::remove(workspace.Path("child.err"));
  return run;
}

// Tests that a write failure (a full disk) stops extract at that file with
// exit 2 and the file named, leaves no temporary file, starts no later file
// and counts only what was written.
TEST(ExtractCommandTest, StopsAtTheFirstWriteError) {
  Workspace workspace;
  workspace.Write(
      "p.brx",
      test::PackageOf({kKeys,
                       {"1.txt", Bytes(std::string(1000, '1')), EntryStorage::kStored},
                       {"2.bin", Bytes(std::string(300000, '2')), EntryStorage::kCompressed},
                       {"3.txt", Bytes("three"), EntryStorage::kCompressed}}));
  const test::ToolRun run = ExtractWithFileSizeLimit(workspace, 100000);
  EXPECT_EQ(run.code, 2) << run.err;
  EXPECT_NE(run.err.find(workspace.Text("out/2.bin") + ": cannot write: "), std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("3.txt"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("extracted 1 of 3 files (1000 bytes)"), std::string::npos) << run.out;
  EXPECT_EQ(workspace.Files(), (std::vector<std::string>{"out/1.txt", "p.brx"}));
}

}  // namespace
}  // namespace brxpack
