#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "brxpack/host/interrupt_cleanup.h"
#include "brxpack/host/scratch_folder.h"
#include "brxpack/simulate/installation_simulation.h"
#include "package/entry_lookup.h"
#include "support/brxpack_workspace.h"
#include "support/pe_samples.h"

namespace brxpack {
namespace {

using test::RunTool;
using test::Workspace;

// A path below C:\App\ of `length` characters in all, and its host name.
std::string PathOfLength(size_t length) {
  return "C:\\App\\" + std::string(length - 7, 'a');
}
std::string HostNameOfLength(size_t length) {
  return "app/" + std::string(length - 7, 'a');
}

// Tests that the simulated Windows keeps the rules of Windows that an
// installation meets, one rule a row, each on a fresh copy of one small tree
// mounted as C:\App: what the call gives, and what stands on the host after.
TEST(SimulatedWindowsTest, KeepsTheRulesOfWindows) {
  using Windows = SimulatedWindows;
  using Call = std::function<bool(Windows&, const Workspace&)>;
  struct Case {
    const char* rule;
    Call call;
    std::string present;  // on the host afterwards, below the workspace ("" for none)
    std::string absent;
  };
  const Case cases[] = {
      {"names are found with A to Z folded",
       [](Windows& h, const Workspace&) { return h.PathExists("C:\\APP\\data\\LETTER.txt"); }, "",
       ""},
      {"doubled and trailing separators and '/' separate",
       [](Windows& h, const Workspace&) { return h.IsFolder("C:\\App\\\\Data/"); }, "", ""},
      {"'..' never leaves the mounted folder",
       [](Windows& h, const Workspace&) { return !h.PathExists("C:\\App\\..\\outside.txt"); },
       "outside.txt", ""},
      {"MoveFile refuses a destination that exists",
       [](Windows& h, const Workspace&) {
         return !h.MovePath("C:\\App\\notes.ini", "C:\\App\\data\\letter.txt");
       },
       "app/notes.ini", ""},
      {"MoveFile changes a name's case",
       [](Windows& h, const Workspace&) {
         return h.MovePath("C:\\App\\notes.ini", "C:\\App\\NOTES.ini");
       },
       "app/NOTES.ini", "app/notes.ini"},
      {"a new name lands in the folder as it is spelt on the host",
       [](Windows& h, const Workspace&) {
         return h.MovePath("C:\\App\\notes.ini", "C:\\App\\DATA\\notes.ini.bak");
       },
       "app/Data/notes.ini.bak", "app/DATA"},
      {"DeleteFile refuses a folder",
       [](Windows& h, const Workspace&) { return !h.DeletePath("C:\\App\\Empty"); }, "app/Empty",
       ""},
      {"CreateDirectory makes no parents",
       [](Windows& h, const Workspace&) { return !h.CreateFolder("C:\\App\\new\\sub"); }, "",
       "app/new"},
      {"CreateDirectory fails where something stands",
       [](Windows& h, const Workspace&) { return !h.CreateFolder("C:\\App\\data"); }, "",
       "app/data"},
      {"RemoveDirectory refuses a folder that holds anything",
       [](Windows& h, const Workspace&) { return !h.RemoveFolder("C:\\App\\Data"); },
       "app/Data/Letter.txt", ""},
      {"RemoveDirectory removes an empty folder, named with its backslash",
       [](Windows& h, const Workspace&) { return h.RemoveFolder("C:\\App\\EMPTY\\"); }, "",
       "app/Empty"},
      {"names Windows refuses are refused",
       [](Windows& h, const Workspace&) { return !h.CreateFolder("C:\\App\\a:b"); }, "", "app/a:b"},
      {"a file on the way is no folder",
       [](Windows& h, const Workspace&) {
         return h.CreateFileForWriting("C:\\App\\notes.ini\\x.txt") == brx::kNoHandle;
       },
       "", ""},
      {"a file open for reading can be neither created anew nor deleted nor moved",
       [](Windows& h, const Workspace&) {
         const brx::Handle file = h.OpenFileForReading("C:\\App\\notes.ini");
         const bool refused = h.CreateFileForWriting("C:\\App\\NOTES.INI") == brx::kNoHandle &&
                              !h.DeletePath("C:\\App\\notes.ini") &&
                              !h.MovePath("C:\\App\\notes.ini", "C:\\App\\x");
         return file != brx::kNoHandle && refused && h.Close(file);
       },
       "app/notes.ini", "app/x"},
      {"a file written through its view alone cannot be opened for reading",
       [](Windows& h, const Workspace&) {
         const brx::Handle file = h.CreateFileForWriting("C:\\App\\new.txt");
         const brx::Handle mapping = h.CreateMapping(file, brx::MapAccess::kWrite, 5);
         uint8_t* view = h.MapView(mapping, brx::MapAccess::kWrite);
         h.Close(mapping);
         h.Close(file);
         return h.OpenFileForReading("C:\\App\\new.txt") == brx::kNoHandle && h.UnmapView(view);
       },
       "app/new.txt", ""},
      {"a folder moves not into itself, and holds what a sibling that extends its name holds",
       [](Windows& h, const Workspace&) {
         return !h.MovePath("C:\\App\\Data", "C:\\App\\Data\\In") &&
                h.Close(h.CreateFileForWriting("C:\\App\\Data.txt")) &&
                !h.RemoveFolder("C:\\App\\Data");
       },
       "app/Data/Letter.txt", "app/Data/In"},
      {"the write mapping gives a new file its size",
       [](Windows& h, const Workspace& w) {
         const brx::Handle file = h.CreateFileForWriting("C:\\App\\Data\\new.txt");
         const brx::Handle mapping = h.CreateMapping(file, brx::MapAccess::kWrite, 5);
         uint8_t* view = h.MapView(mapping, brx::MapAccess::kWrite);
         if (view == nullptr) return false;
         std::memcpy(view, "hello", 5);
         return h.UnmapView(view) && h.Close(mapping) && h.Close(file) &&
                w.Read("app/Data/new.txt") == "hello";
       },
       "", ""},
      {"a write view shows what the file holds",
       [](Windows& h, const Workspace&) {
         const brx::Handle file = h.CreateFileForWriting("C:\\App\\new.txt");
         bool shown = true;
         for (const bool first : {true, false}) {
           const brx::Handle mapping = h.CreateMapping(file, brx::MapAccess::kWrite, 5);
           uint8_t* view = h.MapView(mapping, brx::MapAccess::kWrite);
           if (view == nullptr) return false;
           if (first) std::memcpy(view, "hello", 5);
           shown = shown && std::memcmp(view, "hello", 5) == 0;
           shown = shown && h.UnmapView(view) && h.Close(mapping);
         }
         return shown && h.Close(file);
       },
       "app/new.txt", ""},
      {"CreateDirectory takes 247 characters, no more",
       [](Windows& h, const Workspace&) {
         return h.CreateFolder(PathOfLength(247).c_str()) &&
                !h.CreateFolder(PathOfLength(248).c_str());
       },
       HostNameOfLength(247), HostNameOfLength(248)},
      {"files take 259 characters, no more: CreateFile, MoveFile, DeleteFile",
       [](Windows& h, const Workspace&) {
         const brx::Handle file = h.CreateFileForWriting(PathOfLength(259).c_str());
         return file != brx::kNoHandle && h.Close(file) &&
                h.CreateFileForWriting(PathOfLength(260).c_str()) == brx::kNoHandle &&
                !h.MovePath("C:\\App\\notes.ini", PathOfLength(260).c_str()) &&
                !h.DeletePath(PathOfLength(260).c_str()) &&
                !h.PathExists(PathOfLength(260).c_str());
       },
       HostNameOfLength(259), HostNameOfLength(260)},
      {"a program on any drive the model does not hold is taken as present",
       [](Windows& h, const Workspace&) {
         bool started = true;
         for (const char* program : {"A:\\setup.exe", "z:\\setup.exe"}) {
           char line[] = "setup";
           brx::ProcessHandles handles{};
           started = started && h.StartProcess(program, line, "c:\\app", &handles) &&
                     h.Close(handles.process) && h.Close(handles.thread);
         }
         return started;
       },
       "", ""},
      {"an empty file cannot be mapped",
       [](Windows& h, const Workspace&) {
         const brx::Handle file = h.CreateFileForWriting("C:\\App\\empty.txt");
         const bool refused = h.CreateMapping(file, brx::MapAccess::kWrite, 0) == brx::kNoHandle;
         return refused && h.Close(file);
       },
       "app/empty.txt", ""},
  };
  for (const Case& c : cases) {
    Workspace workspace;
    workspace.Write("outside.txt", "outside");
    workspace.Write("app/Data/Letter.txt", "letter");
    workspace.Write("app/notes.ini", "ini");
    std::filesystem::create_directories(workspace.Path("app/Empty"));
    const std::unique_ptr<HostMirror> mirror = MakeHostMirror();
    SimulatedWindows host(mirror.get());
    host.Mount("C:\\App\\", workspace.Path("app"), true);
    EXPECT_TRUE(c.call(host, workspace)) << c.rule;
    EXPECT_TRUE(c.present.empty() || workspace.Exists(c.present)) << c.rule;
    EXPECT_TRUE(c.absent.empty() || !workspace.Exists(c.absent)) << c.rule;
    EXPECT_EQ(host.OpenHandleCount(), 0u) << c.rule;
    EXPECT_FALSE(mirror->fault) << c.rule;
  }
}

// Tests that the folder that stands for the target is named after the
// key's last component, and "Program" where that names no folder.
TEST(SimulateTest, NamesTheTargetFolderAfterTheKey) {
  const std::pair<std::string, std::string> rows[] = {
      {"SOFTWARE\\Pub\\Notes", "Notes"}, {"Notes", "Notes"},           {"", "Program"},
      {"SOFTWARE\\Pub\\", "Program"},    {"SOFTWARE\\a:b", "Program"}, {"SOFTWARE\\.", "Program"},
      {"SOFTWARE\\..", "Program"},
  };
  for (const auto& [key, name] : rows) {
    EXPECT_EQ(TargetFolderFor(key), "C:\\Program Files\\" + name + "\\") << key;
  }
}

// Tests that simulate installs a package on a copy of the release, finds the
// program through the package's own registry names, and tells the truth:
// exit 0 when the result equals the release it should give, exit 1 naming
// each difference for another, exit 1 when a command reports failure, and a
// package file or self-applying executable with one byte of a file entry
// damaged is refused whole before the question, with the usage text and no
// registry write, as the installer refuses it; the release itself is never
// touched.
TEST(SimulateTest, InstallsOnACopyAndComparesTheResult) {
  Workspace workspace;
  workspace.Write("update.toml",
                  "[target]\nregistry_key = 'SOFTWARE\\Pub\\App'\nfolder_value = 'Folder'\n"
                  "patch_level = 3\n[payload]\nfolder = '2.0'\n"
                  "[[command]]\nprogram = 'app.exe'\n[remove]\npaths = ['old.txt']\n"
                  "[[registry]]\nroot = 'HKLM'\nkey = 'SOFTWARE\\Pub\\App'\nname = 'Version'\n"
                  "type = 'string'\ndata = '2.0'\n");
  workspace.Write("1.0/app.exe", "MZ");
  workspace.Write("1.0/notes.ini", "version=1");
  workspace.Write("1.0/old.txt", "old");
  workspace.Write("2.0/app.exe", "MZ");
  workspace.Write("2.0/notes.ini", "version=2");
  workspace.Write("2.0/new/x.txt", "new");
  workspace.Write("1.0/big.dat", std::string(kProgressThreshold, 'b'));
  workspace.Write("2.0/big.dat", std::string(kProgressThreshold, 'B'));
  ASSERT_EQ(RunTool({"build", workspace.Text("update.toml"), "-o", workspace.Text("u.brx")}).code,
            0);

  const auto simulate = [&](std::vector<std::string> more, const char* package = "u.brx",
                            bool terminal = false) {
    std::vector<std::string> arguments = {"simulate", workspace.Text(package), "--installed",
                                          workspace.Text("1.0")};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return RunTool(arguments, terminal);
  };
  const test::ToolRun good = simulate({"--expect", workspace.Text("2.0")}, "u.brx", true);
  EXPECT_EQ(good.code, 0) << good.out << good.err;
  // Progress on a terminal, for the copy and for the files installed.
  for (const std::string what : {"\rcopying ", "\rinstalling on "}) {
    EXPECT_NE(good.err.find(what + workspace.Text("1.0") + ": 100%"), std::string::npos)
        << good.err;
  }
  for (const char* line : {"target    C:\\Program Files\\App\\, program app.exe, patch level 0",
                           "command   C:\\Program Files\\App\\app.exe, command line \"DUMMY \"",
                           "registry  HKLM\\SOFTWARE\\Pub\\App: Version = string \"2.0\"\n",
                           "registry  HKLM\\SOFTWARE\\Pub\\App: PatchLevel = dword 3 (the new",
                           "result    installed", "expect    the result equals"}) {
    EXPECT_NE(good.out.find(line), std::string::npos) << line << "\n" << good.out;
  }
  EXPECT_EQ(good.out.find("release   "), std::string::npos) << good.out;  // verdicts: several
  const test::ToolRun other = simulate({"--expect", workspace.Text("1.0")});
  EXPECT_EQ(other.code, 1);
  EXPECT_NE(other.out.find("          notes.ini: contents differ\n"), std::string::npos)
      << other.out;
  const test::ToolRun failing = simulate({"--commands", "fail"});
  EXPECT_EQ(failing.code, 1);
  EXPECT_NE(failing.out.find("reports failure"), std::string::npos) << failing.out;

  workspace.Write("PATCH.EXE", brx::test::SamplePe32(0x400));
  ASSERT_EQ(RunTool({"exe", workspace.Text("u.brx"), "-o", workspace.Text("u.exe"), "--stub",
                     workspace.Text("PATCH.EXE")})
                .code,
            0);
  std::vector<uint8_t> package = workspace.ReadBytes("u.brx");
  std::vector<uint8_t> executable = workspace.ReadBytes("u.exe");
  const size_t packageStart =
      std::search(executable.begin(), executable.end(), package.begin(), package.end()) -
      executable.begin();
  ASSERT_LT(packageStart, executable.size());
  brx::Package parsed;
  ASSERT_EQ(brx::ParsePackage({package.data(), static_cast<uint32_t>(package.size())},
                              brx::PackageSource::kPackageFile, &parsed),
            brx::PackageError::kNone);
  const uint32_t notes = brx::FindEntry(parsed, "notes.ini");
  ASSERT_NE(notes, brx::kEntryNotFound);
  const uint32_t damagedByte = parsed.directory[notes].offset + 3;
  std::free(parsed.directory);
  package[damagedByte] ^= 0x01;
  executable[packageStart + damagedByte] ^= 0x01;
  workspace.Write("u.brx", package);
  workspace.Write("u.exe", executable);
  for (const char* file : {"u.brx", "u.exe"}) {
    const test::ToolRun damaged = simulate({"--expect", workspace.Text("2.0")}, file);
    EXPECT_EQ(damaged.code, 1) << file;
    EXPECT_NE(damaged.out.find("status    Usage: PATCH.EXE"), std::string::npos) << damaged.out;
    EXPECT_EQ(damaged.out.find("question"), std::string::npos) << damaged.out;
    EXPECT_EQ(damaged.out.find("Обновляем"), std::string::npos) << damaged.out;
    EXPECT_EQ(damaged.out.find("registry  "), std::string::npos) << damaged.out;
  }
  EXPECT_EQ(workspace.Read("1.0/notes.ini"), "version=1");
}

// Tests that simulate given several releases installs on a copy of each
// with its own patch level, prints one verdict a release and exits 0 only
// when every one of them gives --expect; that --json says the same per
// release; and that a --patch-level count that pairs with no release is refused.
TEST(SimulateTest, ProvesTheUpdateOnEachRelease) {
  Workspace workspace;
  workspace.Write("update.toml",
                  "[target]\nregistry_key = 'SOFTWARE\\Pub\\App'\npatch_level = 3\n"
                  "[payload]\nfolder = '2.0'\n");
  for (const char* release : {"1.0", "1.1", "2.0"}) {
    workspace.Write(std::string(release) + "/app.exe", "MZ");
    workspace.Write(std::string(release) + "/notes.ini", release);
  }
  workspace.Write("1.1/stray.txt", "not in 2.0");
  ASSERT_EQ(RunTool({"build", workspace.Text("update.toml"), "-o", workspace.Text("u.brx")}).code,
            0);
  const auto simulate = [&](std::vector<std::string> more) {
    std::vector<std::string> arguments = {
        "simulate",    workspace.Text("u.brx"), "--installed", workspace.Text("1.0"),
        "--installed", workspace.Text("1.1"),   "--expect",    workspace.Text("2.0")};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return RunTool(arguments);
  };
  const test::ToolRun text = simulate({"--patch-level", "1", "--patch-level", "2"});
  EXPECT_EQ(text.code, 1) << text.out << text.err;
  for (const std::string& line :
       {"release   " + workspace.Text("1.0") +
            ": installed, patch level 1 -> 3; the result equals " + workspace.Text("2.0") + "\n",
        "release   " + workspace.Text("1.1") +
            ": installed, patch level 2 -> 3; the result differs from " + workspace.Text("2.0") +
            " (1 difference)\n",
        std::string("          stray.txt: not expected\n")}) {
    EXPECT_NE(text.out.find(line), std::string::npos) << line << "\n" << text.out;
  }
  const test::ToolRun json = simulate({"--json"});
  EXPECT_EQ(json.code, 1) << json.err;
  for (const std::string& part :
       {"\"expect\":\"" + workspace.Text("2.0") + "\",\"ok\":false,\"runs\":[{\"installed\":\"" +
            workspace.Text("1.0"),
        std::string(R"("target":"C:\\Program Files\\App\\","program":"app.exe",)"
                    R"("registryKey":"SOFTWARE\\Pub\\App","patchLevel":0,"finalPatchLevel":3,)"),
        std::string(R"("registry":["HKLM\\SOFTWARE\\Pub\\App: PatchLevel = dword 3)"),
        std::string("\"equals\":true,\"differences\":[]"),
        std::string(
            "\"equals\":false,\"differences\":[\"stray.txt: not expected\"],\"ok\":false}]}")}) {
    EXPECT_NE(json.out.find(part), std::string::npos) << part << "\n" << json.out;
  }
  // The first spelling, --level, still counts.
  const test::ToolRun levels = simulate({"--level", "1", "--level", "2", "--level", "3"});
  EXPECT_EQ(levels.code, 2);
  EXPECT_NE(levels.err.find("brxpack: --patch-level is given 3 times for 2 releases"),
            std::string::npos)
      << levels.err;
  const test::ToolRun both = simulate({"--level", "1", "--patch-level", "2"});
  EXPECT_EQ(both.code, 2);
  EXPECT_NE(both.err.find("excludes"), std::string::npos) << both.err;
}

// Tests that an interruption (Ctrl-C, a termination request, a closed
// terminal) while simulate's scratch copy of a release exists removes the
// copy, folders and all, before the process ends as the signal would end
// it; the copy is large enough that its folder is read in several parts.
TEST(SimulateTest, InterruptionLeavesNoScratchCopy) {
  Workspace workspace;
  workspace.Write("tmp/.keep", "");
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    EXPECT_EXIT(
        {
          setenv("TMPDIR", workspace.Text("tmp").c_str(), 1);
          RemoveTemporariesOnInterrupt();
          Result<ScratchFolder> scratch = ScratchFolder::Create("brxpack-simulate-");
          if (!scratch.ok()) std::_Exit(3);
          const std::filesystem::path deep = scratch->path() / "a" / "b" / "c";
          std::filesystem::create_directories(deep);
          for (int i = 0; i < 300; ++i) {
            const std::string name = "a file with a rather long name, number " + std::to_string(i);
            std::ofstream(deep / name) << "copied";
            std::ofstream(scratch->path() / name) << "copied";
          }
          raise(signal);
        },
        testing::KilledBySignal(signal), "");
    const auto left = std::distance(std::filesystem::directory_iterator(workspace.Path("tmp")),
                                    std::filesystem::directory_iterator());
    EXPECT_EQ(left, 1) << "the scratch copy is left after signal " << signal;
  }
}

// The tool run in a child process under a resource limit: with
// RLIMIT_FSIZE, writes past it fail with EFBIG, as a full disk fails them.
test::ToolRun RunToolWithLimit(const std::vector<std::string>& arguments, int resource,
                               rlim_t limit) {
  int channel[2];
  if (pipe(channel) != 0) return {-1, "", "no pipe"};
  const pid_t child = fork();
  if (child == 0) {
    close(channel[0]);
    signal(SIGXFSZ, SIG_IGN);
    const rlimit cap = {limit, limit};
    setrlimit(resource, &cap);
    const test::ToolRun run = RunTool(arguments);
    const std::string message = std::to_string(run.code) + '\0' + run.out + '\0' + run.err;
    for (size_t done = 0; done < message.size();) {
      const ssize_t wrote = write(channel[1], message.data() + done, message.size() - done);
      if (wrote <= 0) break;
      done += static_cast<size_t>(wrote);
    }
    _exit(0);
  }
  close(channel[1]);
  std::string message;
  char buffer[4096];
  for (ssize_t got; (got = read(channel[0], buffer, sizeof buffer)) > 0;)
    message.append(buffer, static_cast<size_t>(got));
  close(channel[0]);
  int status = 0;
  waitpid(child, &status, 0);
  const size_t first = message.find('\0');
  const size_t second = message.find('\0', first + 1);
  if (second == std::string::npos) return {-1, "", "the child ended without an answer"};
  return {std::atoi(message.substr(0, first).c_str()),
          message.substr(first + 1, second - first - 1), message.substr(second + 1)};
}

// An update at patch level 1 that installs the folder 2.0.
constexpr char kUpdateTo20[] =
    "[target]\nregistry_key = 'SOFTWARE\\Pub\\App'\npatch_level = 1\n[payload]\nfolder = '2.0'\n";

// Tests that a write the host itself refuses (here a file-size limit, as a
// full disk refuses it) ends simulate with exit 2 naming the path and the
// error, whether it meets the copy of the release or the installation's own
// writes, and never with a verdict on the result.
TEST(SimulateTest, EndsOnAHostWriteFailure) {
  Workspace workspace;
  workspace.Write("update.toml", kUpdateTo20);
  workspace.Write("small/app.exe", "MZ");
  workspace.Write("large/app.exe", "MZ");
  workspace.Write("large/data.bin", std::string(96 * 1024, 'd'));
  workspace.Write("2.0/app.exe", "MZ");
  workspace.Write("2.0/big.bin", std::string(96 * 1024, 'b'));
  ASSERT_EQ(RunTool({"build", workspace.Text("update.toml"), "-o", workspace.Text("u.brx")}).code,
            0);
  struct Case {
    const char* release;
    const char* output;
    const char* failedPath;  // named in the error
  };
  const Case cases[] = {
      {"small", "out-small", "big.bin"},   // the installation's own write
      {"large", "out-large", "data.bin"},  // the copy of the release
  };
  for (const Case& c : cases) {
    const test::ToolRun run = RunToolWithLimit(
        {"simulate", workspace.Text("u.brx"), "--installed", workspace.Text(c.release), "--expect",
         workspace.Text("2.0"), "--output", workspace.Text(c.output)},
        RLIMIT_FSIZE, 32 * 1024);
    EXPECT_EQ(run.code, 2) << c.release << "\n" << run.out << run.err;
    EXPECT_EQ(run.err.rfind("brxpack: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(c.failedPath), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("too large"), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("installed"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("differ"), std::string::npos) << run.out;
  }
}

// Tests that the copy of the release closes each file it copies: a release
// of more files than the process may hold open is copied and proven.
TEST(SimulateTest, CopiesMoreFilesThanItMayHoldOpen) {
  Workspace workspace;
  workspace.Write("update.toml", kUpdateTo20);
  for (const char* release : {"1.0", "2.0"}) {
    workspace.Write(std::string(release) + "/app.exe", "MZ");
    for (int i = 0; i < 64; ++i)
      workspace.Write(std::string(release) + "/f" + std::to_string(i), "x");
  }
  ASSERT_EQ(RunTool({"build", workspace.Text("update.toml"), "-o", workspace.Text("u.brx")}).code,
            0);
  const test::ToolRun run =
      RunToolWithLimit({"simulate", workspace.Text("u.brx"), "--installed", workspace.Text("1.0"),
                        "--expect", workspace.Text("2.0"), "--output", workspace.Text("out")},
                       RLIMIT_NOFILE, 48);
  EXPECT_EQ(run.code, 0) << run.out << run.err;
}

}  // namespace
}  // namespace brxpack
