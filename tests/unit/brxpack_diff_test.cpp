#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "brxpack/host/byte_size.h"
#include "brxpack/manifest/manifest_parser.h"
#include "support/brxpack_workspace.h"

namespace brxpack {
namespace {

using test::RunTool;
using test::ToolRun;
using test::Workspace;

struct Tree {
  std::map<std::string, std::string> files;  // path -> content
  std::vector<std::string> emptyFolders;
};

const char kBase[] = "[target]\nregistry_key = 'SOFTWARE\\Pub\\App'\npatch_level = 2\n";

void WriteTree(const Workspace& workspace, const std::string& folder, const Tree& tree) {
  workspace.Write(folder + "/app.exe", "MZ");
  for (const auto& [path, content] : tree.files) workspace.Write(folder + "/" + path, content);
  for (const std::string& path : tree.emptyFolders) {
    std::filesystem::create_directories(workspace.Path(folder + "/" + path));
  }
}

// diff with the base, build, then simulate on each old release expecting
// NEW (or `expected`).
ToolRun DiffBuildSimulate(const Workspace& workspace, const std::string& base,
                          const std::string& expected = "new",
                          const std::vector<std::string>& diffOptions = {},
                          const std::vector<std::string>& olds = {"old"}) {
  workspace.Write("conf/base.toml", base);
  std::filesystem::create_directories(workspace.Path("out"));
  std::vector<std::string> arguments = {"diff"};
  for (const std::string& old : olds) arguments.push_back(workspace.Text(old));
  arguments.insert(arguments.end(),
                   {workspace.Text("new"), "--base", workspace.Text("conf/base.toml"), "-o",
                    workspace.Text("out/update.toml")});
  arguments.insert(arguments.end(), diffOptions.begin(), diffOptions.end());
  const ToolRun diff = RunTool(arguments);
  if (diff.code != 0) return diff;
  const ToolRun build =
      RunTool({"build", workspace.Text("out/update.toml"), "-o", workspace.Text("out/update.brx")});
  if (build.code != 0)
    return {build.code, build.out, build.err + workspace.Read("out/update.toml")};
  std::vector<std::string> simulate = {"simulate", workspace.Text("out/update.brx")};
  for (const std::string& old : olds)
    simulate.insert(simulate.end(), {"--installed", workspace.Text(old)});
  simulate.insert(simulate.end(), {"--expect", workspace.Text(expected)});
  ToolRun run = RunTool(simulate);
  run.err = diff.err + run.err;
  return run;
}

// Tests that the update diff writes turns OLD into exactly NEW when the
// installer's own code applies it, for the changes that order matters to:
// names whose case alone changed, new empty folders below new parents that
// a file also needs, folders that go with their subfolders, a folder whose
// case changed; and that unchanged files stay out of the package.
TEST(DiffTest, TheUpdateTurnsOldIntoNew) {
  struct Case {
    const char* what;
    Tree older;
    Tree newer;
    const char* leftOut;  // a path the manifest must not name
  };
  const Case cases[] = {
      {"files changed, new, gone, renamed in case",
       {{{"same.txt", "s"},
         {"notes.ini", "v1"},
         {"gone.txt", "g"},
         {"README.TXT", "r"},
         {"Case.txt", "c1"}},
        {}},
       {{{"same.txt", "s"},
         {"notes.ini", "v2"},
         {"new.txt", "n"},
         {"ReadMe.txt", "r"},
         {"case.TXT", "c2"}},
        {}},
       "same.txt"},
      {"folders appear and go, parents first and deepest first",
       {{{"old/x/y/deep.txt", "d"}, {"old/top.txt", "t"}, {"keep/k.txt", "k"}}, {"old/empty"}},
       {{{"a/f.txt", "f"}, {"keep/k.txt", "k"}}, {"a/b/c", "keep/inner", "fresh/one/two"}},
       "keep\\k.txt"},
      {"a folder whose case changed keeps its name",
       {{{"Data/x.txt", "1"}, {"Data/y.txt", "y"}}, {}},
       {{{"data/x.txt", "2"}, {"data/y.txt", "y"}}, {}},
       "data\\y.txt"},
      {"nothing changed", {{{"a.txt", "a"}}, {}}, {{{"a.txt", "a"}}, {}}, "a.txt"},
  };
  for (const Case& c : cases) {
    Workspace workspace;
    WriteTree(workspace, "old", c.older);
    WriteTree(workspace, "new", c.newer);
    const ToolRun run = DiffBuildSimulate(workspace, kBase);
    EXPECT_EQ(run.code, 0) << c.what << "\n" << run.out << run.err;
    const std::string manifest = workspace.Read("out/update.toml");
    EXPECT_EQ(manifest.find(std::string("'") + c.leftOut + "'"), std::string::npos)
        << c.what << "\n"
        << manifest;
  }
}

// Tests that one update made from several old releases turns each of them
// into exactly NEW, for what differs between the old releases: a file
// changed only between the first two, one gone from the middle release and
// back in NEW, names whose case differs from release to release, a folder
// that comes and goes, a path that is a file in one old release and a
// folder in another, new folders whose parents only some releases have, an
// empty file (installed like any other, so no warning); and that a file
// every release holds as NEW does stays out of the package.
TEST(DiffTest, OneUpdateTurnsEveryOldReleaseIntoNew) {
  struct Case {
    const char* what;
    std::vector<Tree> older;
    Tree newer;
    const char* leftOut;  // a path the manifest must not name
    const char* note;     // a note the manifest holds, with old1 for the first release
  };
  const Case cases[] = {
      {"changed between the first two, gone and back, same everywhere",
       {{{{"notes.ini", "v1"}, {"help.txt", "h"}, {"same.txt", "s"}}, {}},
        {{{"notes.ini", "v2"}, {"same.txt", "s"}}, {}},
        {{{"notes.ini", "v2"}, {"same.txt", "s"}, {"gone.txt", "g"}}, {}}},
       {{{"notes.ini", "v2"}, {"help.txt", "h"}, {"same.txt", "s"}, {"empty.txt", ""}}, {}},
       "same.txt",
       "# The update from old1, "},
      {"names spelt otherwise in each release take NEW's spelling",
       {{{{"Readme.TXT", "r"}, {"a.txt", "1"}, {"u.txt", "u"}}, {}},
        {{{"README.txt", "r"}, {"A.TXT", "1"}, {"u.txt", "u"}}, {}},
        {{{"readme.txt", "r"}, {"a.txt", "1"}, {"u.txt", "u"}}, {}}},
       {{{"readme.txt", "r"}, {"a.txt", "1"}, {"u.txt", "u"}}, {}},
       "u.txt",
       " and old3 to "},
      {"a folder that comes and goes, a file here and a folder there",
       {{{{"x", "file"}, {"k.txt", "k"}}, {}},
        {{{"plugins/p.dll", "p"}, {"x/y.txt", "y"}, {"k.txt", "k"}}, {"plugins/old", "Data/z"}},
        {{{"k.txt", "k"}}, {"plugins"}}},
       {{{"k.txt", "k"}}, {"data/z/deep"}},
       "k.txt",
       "# Note: folder 'Data' of old2 is 'data' in NEW"},
  };
  for (const Case& c : cases) {
    Workspace workspace;
    std::vector<std::string> olds;
    for (size_t i = 0; i < c.older.size(); ++i) {
      olds.push_back("old" + std::to_string(i + 1));
      WriteTree(workspace, olds.back(), c.older[i]);
    }
    WriteTree(workspace, "new", c.newer);
    const ToolRun run = DiffBuildSimulate(workspace, kBase, "new", {}, olds);
    EXPECT_EQ(run.code, 0) << c.what << "\n" << run.out << run.err;
    EXPECT_EQ(run.err.find("warning: '"), std::string::npos) << c.what << "\n" << run.err;
    for (const std::string& old : olds) {
      const std::string verdict = "release   " + workspace.Text(old) +
                                  ": installed, patch level 0 -> 2; the result equals " +
                                  workspace.Text("new") + "\n";
      EXPECT_NE(run.out.find(verdict), std::string::npos) << c.what << "\n" << run.out;
    }
    const std::string manifest = workspace.Read("out/update.toml");
    EXPECT_EQ(manifest.find(std::string("'") + c.leftOut + "'"), std::string::npos)
        << c.what << "\n"
        << manifest;
    std::string note = c.note;
    for (const std::string& old : olds) {
      if (const size_t at = note.find(old); at != std::string::npos)
        note.replace(at, old.size(), workspace.Text(old));
    }
    EXPECT_NE(manifest.find(note), std::string::npos) << c.what << "\n" << manifest;
  }
}

// Tests that diff --stats tells for each old release what the update
// changes there, what it carries that the release already holds, and its
// size against an update from that release alone, in text or in the JSON
// object, alike; and that a path whose kind changes is refused naming the
// release it changes in.
TEST(DiffTest, TellsWhatTheUpdateDoesToEachRelease) {
  Workspace workspace;
  WriteTree(workspace, "old1", {{{"a.txt", "one"}, {"b.txt", "bb"}}, {}});
  WriteTree(workspace, "old2", {{{"a.txt", "two"}, {"b.txt", "22"}, {"c.txt", "c"}}, {}});
  WriteTree(workspace, "new", {{{"a.txt", "two"}, {"b.txt", "bb"}}, {}});
  const ToolRun run =
      RunTool({"diff", workspace.Text("old1"), workspace.Text("old2"), workspace.Text("new"),
               "--stats", "-o", workspace.Text("update.toml")});
  EXPECT_EQ(run.code, 0) << run.err;
  for (const std::string& text :
       {"from " + workspace.Text("old1") +
            "\n  unchanged 2 files, 4 bytes\n  changed   1 file, 3 bytes\n  new       0 files, "
            "0 bytes\n  removed   0 files, 0 bytes\n  carried   1 file, 2 bytes that " +
            workspace.Text("old1") + " holds as NEW does, written again\n  package   ",
        "from " + workspace.Text("old2") +
            "\n  unchanged 2 files, 5 bytes\n  changed   1 file, 2 bytes",
        std::string(" alone; this one is "), std::string("removed   1 file, 1 byte\n")}) {
    EXPECT_NE(run.out.find(text), std::string::npos) << text << "\n" << run.out;
  }
  const ToolRun json =
      RunTool({"diff", workspace.Text("old1"), workspace.Text("old2"), workspace.Text("new"),
               "--stats", "--json", "-o", workspace.Text("again.toml")});
  EXPECT_EQ(json.code, 0) << json.err;
  EXPECT_EQ(json.err, "");
  const std::string stats = "\"stats\":{\"level\":7,\"package\":";
  const size_t at = json.out.find(stats);
  ASSERT_NE(at, std::string::npos) << json.out;
  const uint64_t package = std::stoull(json.out.substr(at + stats.size()));
  for (const char* text :
       {"\"changed\":{\"files\":1,\"bytes\":3},\"new\":{\"files\":0,\"bytes\":0},\"removed\":"
        "{\"files\":0,\"bytes\":0},\"unchanged\":{\"files\":2,\"bytes\":4},\"carried\":{\"files\":"
        "1,"
        "\"bytes\":2},\"package\":",
        "\"removed\":{\"files\":1,\"bytes\":1}", ",\"standInTarget\":true}}\n"}) {
    EXPECT_NE(json.out.find(text), std::string::npos) << text << "\n" << json.out;
  }
  EXPECT_NE(run.out.find("package   " + ReadableSize(package) + ", against "), std::string::npos)
      << run.out;
  // From one release, the update alone is the update itself.
  const ToolRun one =
      RunTool({"diff", workspace.Text("old1"), workspace.Text("new"), "--stats", "--json"});
  const size_t alone = one.out.find("\"package\":");
  const size_t update = one.out.find("\"package\":", alone + 1);
  ASSERT_NE(update, std::string::npos) << one.out;
  EXPECT_EQ(std::stoull(one.out.substr(alone + 10)), std::stoull(one.out.substr(update + 10)));
  WriteTree(workspace, "old3", {{{"a.txt/inner.txt", "i"}}, {}});
  const ToolRun refused =
      RunTool({"diff", workspace.Text("old1"), workspace.Text("old3"), workspace.Text("new")});
  EXPECT_EQ(refused.code, 2);
  EXPECT_NE(refused.err.find("brxpack: 'a.txt' is a folder in " + workspace.Text("old3") +
                             " and a file in NEW"),
            std::string::npos)
      << refused.err;
}

// Tests that diff refuses what an update cannot do or say, naming both
// sides: a path that changes between file and folder, a base entry for a
// path the diff found (as the diff found it).
TEST(DiffTest, RefusesClashesNamingBothSides) {
  struct Case {
    Tree newer;
    std::string base;
    std::string message;
  };
  const Tree older{{{"notes.ini", "1"}, {"gone.txt", "g"}, {"x", "file"}}, {}};
  const Case cases[] = {
      {{{{"notes.ini", "1"}, {"x/y.txt", "y"}}, {}},
       kBase,
       "'x' is a file in OLD and a folder in NEW: the installer cannot turn one into the other"},
      {{{{"notes.ini", "2"}, {"x", "file"}}, {}},
       std::string(kBase) + "[[file]]\nsource = 'base.toml'\ninstall = 'NOTES.INI'\n",
       "base.toml:6:11: file[1].install 'NOTES.INI' clashes with the diff: 'notes.ini' changed "
       "in NEW"},
  };
  for (const Case& c : cases) {
    Workspace workspace;
    WriteTree(workspace, "old", older);
    WriteTree(workspace, "new", c.newer);
    const ToolRun run = DiffBuildSimulate(workspace, c.base);
    EXPECT_EQ(run.code, 2) << c.message;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
}

// Tests that the manifest names a base kept in another folder and that
// reading it merges the base: its stub's architecture stays, its host paths
// still find their files, its removals come before the diff's (files, then
// folders deepest first), each once, and the update gives NEW with the
// base's file.
TEST(DiffTest, MergesABaseFromAnotherFolder) {
  Workspace workspace;
  WriteTree(workspace, "old", {{{"logs/old.log", "l"}, {"a.txt", "1"}}, {}});
  WriteTree(workspace, "new", {{{"a.txt", "2"}}, {}});
  WriteTree(workspace, "expected", {{{"a.txt", "2"}, {"extra.txt", "x"}}, {}});
  workspace.Write("conf/extra.txt", "x");
  const ToolRun run =
      DiffBuildSimulate(workspace,
                        "[target]\narch = 'x64'\n" + std::string(kBase).substr(9) +
                            "[[file]]\nsource = 'extra.txt'\ninstall = 'extra.txt'\n"
                            "[remove]\npaths = ['cache.db', 'tmp.db']\n[package]\nlevel = 3\n",
                        "expected");
  EXPECT_EQ(run.code, 0) << run.out << run.err;
  const std::string manifest = workspace.Read("out/update.toml");
  EXPECT_NE(manifest.find("\nbase = '../conf/base.toml'\n"), std::string::npos) << manifest;
  const Result<Manifest> merged = ReadManifestFile(workspace.Path("out/update.toml"));
  ASSERT_TRUE(merged.ok()) << merged.error();
  EXPECT_EQ(merged->arch, StubArch::kX64);
  EXPECT_EQ(merged->level, 3);
  EXPECT_EQ(merged->script.removals,
            (std::vector<std::string>{"cache.db", "tmp.db", "logs\\old.log", "logs"}));
}

// Tests that reading refuses a base it cannot merge, naming the place of
// each problem: a base named by no text; in the base, keys of the wrong
// type, a base and a [payload] of its own, paths the manifest also uses
// (the last item of a list too); a table both give; a base not there.
TEST(ManifestBaseTest, RefusesWhatCannotBeMerged) {
  struct Case {
    std::string manifest;  // behind "base = 'base.toml'\n" unless it names its base
    std::string base;
    std::string lines;  // each found in the message
  };
  const Case cases[] = {
      {"base = 5\n", kBase, "m.toml:1:8: base: must be a text in quotes"},
      {"[remove]\npaths = ['Gone', 'sub/x.txt']\n",
       "base = 'other.toml'\n" + std::string(kBase) +
           "[[file]]\nsource = 'f'\ninstall = 5\n[[file]]\nsource = 'f'\ninstall = 'SUB/X.TXT'\n"
           "[folders]\ncreate = 'x'\n[remove]\npaths = [7, 'gone']\n[payload]\nfolder = 'p'\n",
       "base.toml:1:8: base: names a base of its own\n"
       "base.toml:7:11: file[1].install: must be a text in quotes\n"
       "base.toml:10:11: file[2].install 'SUB/X.TXT' clashes with \nm.toml: remove.paths "
       "'sub\\x.txt'\n"
       "base.toml:12:10: folders.create: must be a list of texts in [ ]\n"
       "base.toml:14:10: remove.paths[1]: must be a text in quotes\n"
       "base.toml:14:13: remove.paths[2] 'gone' clashes with \nm.toml: remove.paths 'Gone'\n"
       "base.toml:15:1: payload: the diff writes [payload] itself"},
      {"[target]\nregistry_key = 'K'\npatch_level = 1\n", kBase,
       "m.toml: [target]: given both here and in the base"},
      {"base = 'missing.toml'\n", kBase, "missing.toml: cannot open"},
  };
  for (const Case& c : cases) {
    Workspace workspace;
    workspace.Write("base.toml", c.base);
    workspace.Write("m.toml",
                    (c.manifest.starts_with("base") ? "" : "base = 'base.toml'\n") + c.manifest);
    const Result<Manifest> read = ReadManifestFile(workspace.Path("m.toml"));
    ASSERT_FALSE(read.ok()) << c.lines;
    std::istringstream lines(c.lines);
    for (std::string line; std::getline(lines, line);) {
      EXPECT_NE(read.error().find(line), std::string::npos) << line << "\n" << read.error();
    }
  }
}

// Tests that diff takes the releases as a payload folder is taken, and that
// the manifest carries its rules to build: version-control and system files
// stay out, --exclude drops a file unless --include names it; that diff
// says what it left out, and simulate --expect passes over those names, so
// an old release's .DS_Store does not fail the proof.
TEST(DiffTest, LeavesOutWhatAPayloadFolderLeavesOut) {
  Workspace workspace;
  WriteTree(workspace, "old", {{{"a.txt", "1"}, {".DS_Store", "o"}, {".hg/store", "s"}}, {}});
  WriteTree(workspace, "new",
            {{{"a.txt", "2"},
              {".git/HEAD", "h"},
              {"Thumbs.db", "t"},
              {"debug.pdb", "d"},
              {"keep.pdb", "k"}},
             {}});
  WriteTree(workspace, "expected", {{{"a.txt", "2"}, {"keep.pdb", "k"}}, {}});
  const ToolRun run = DiffBuildSimulate(workspace, kBase, "expected",
                                        {"--exclude", "*.pdb", "--include", "keep.pdb"});
  EXPECT_EQ(run.code, 0) << run.out << run.err << workspace.Read("out/update.toml");
  for (const std::string& note :
       {"note: left out of " + workspace.Text("old") + ", as from every payload folder " +
            "(simulate --expect passes over them too): '.DS_Store', '.hg'\n",
        "note: left out of " + workspace.Text("new") + ", as from every payload folder " +
            "(simulate --expect passes over them too): '.git', 'Thumbs.db'\n"}) {
    EXPECT_NE(run.err.find(note), std::string::npos) << run.err;
  }
}

// Tests that diff's options take one value each (the folders after
// --exclude stay folders), that a manifest is never written into a release
// folder, and that an update which changes nothing is a warning that
// --werror makes an error, with nothing written.
TEST(DiffTest, OptionsOutputsAndEmptyUpdates) {
  struct Case {
    std::vector<std::string> arguments;  // "@x" is the workspace's x
    int code;
    std::string message;
    bool written;
  };
  const Case cases[] = {
      {{"--exclude", "*.pdb", "@old", "@new", "-o", "@update.toml"}, 0, "", true},
      {{"@old", "@new", "--include", "keep.pdb", "--exclude", "*.pdb", "-o", "@update.toml"},
       0,
       "",
       true},
      {{"@old", "@new", "-o", "@new/update.toml"},
       2,
       "the output would lie inside the release folder",
       false},
      {{"@old", "@new", "-o", "@old/sub/update.toml"}, 2, "inside the release folder", false},
      {{"@old", "@old", "-o", "@update.toml"}, 0, "warning: NEW has nothing", true},
      {{"@old", "@old", "-o", "@update.toml", "--werror"},
       2,
       "--werror makes errors; nothing written",
       false},
  };
  for (const Case& c : cases) {
    Workspace workspace;
    WriteTree(workspace, "old", {{{"a.txt", "1"}, {"sub/b.txt", "b"}}, {}});
    WriteTree(workspace, "new", {{{"a.txt", "2"}, {"sub/b.txt", "b"}, {"x.pdb", "p"}}, {}});
    std::vector<std::string> arguments = {"diff"};
    for (const std::string& argument : c.arguments) {
      arguments.push_back(argument[0] == '@' ? workspace.Text(argument.substr(1)) : argument);
    }
    const ToolRun run = RunTool(arguments);
    EXPECT_EQ(run.code, c.code) << c.arguments[0] << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    const bool written = std::filesystem::exists(workspace.Path("update.toml")) ||
                         std::filesystem::exists(workspace.Path("new/update.toml")) ||
                         std::filesystem::exists(workspace.Path("old/sub/update.toml"));
    EXPECT_EQ(written, c.written) << run.err;
    if (c.written && c.code == 0 && c.arguments[0] == "--exclude") {
      EXPECT_EQ(workspace.Read("update.toml").find("x.pdb"), std::string::npos);
    }
  }
}

// Tests that diff judges every name of every release by build's path rule
// and reports them all in one run, each with its release folder, writing
// nothing: devices, colons, characters Windows refuses, a dropped trailing
// dot, control characters, a Linux name holding a backslash, a name with
// no Windows-1251 form, and paths that fit below no program folder.
TEST(DiffTest, RefusesEveryNameBuildWouldRefuseAtOnce) {
  Workspace workspace;
  const std::string deep = std::string(200, 'd') + "/" + std::string(100, 'f');
  WriteTree(workspace, "old", {{{"a.txt", "1"}, {"NUL.txt", "n"}, {"what?.txt", "w"}}, {}});
  WriteTree(workspace, "new",
            {{{"a.txt", "2"},
              {"CON", "c"},
              {"a:b.txt", "x"},
              {"trail.", "t"},
              {"tab\there.txt", "t"},
              {"back\\slash.txt", "b"},
              {"\xCE\xA9mega.txt", "o"},
              {deep, "l"}},
             {}});
  const ToolRun run = RunTool(
      {"diff", workspace.Text("old"), workspace.Text("new"), "-o", workspace.Text("update.toml")});
  EXPECT_EQ(run.code, 2);
  EXPECT_FALSE(workspace.Exists("update.toml"));
  const std::string old = "' in " + workspace.Text("old") + ": ";
  const std::string fresh = "' in " + workspace.Text("new") + ": ";
  for (const std::string& line :
       {"'NUL.txt" + old + "has the component 'NUL.txt', a Windows device name",
        "'what?.txt" + old + "holds '?'", "'CON" + fresh + "has the component 'CON'",
        "'a:b.txt" + fresh + "holds a colon", "'trail." + fresh + "has the component 'trail.'",
        "'tab\there.txt" + fresh + "holds a control character (U+0009)",
        "'back\\slash.txt" + fresh + "holds '\\', which Windows refuses in names",
        "'\xCE\xA9mega.txt" + fresh + "the character '\xCE\xA9' (U+03A9) has no Windows-1251",
        "'" + deep + fresh + "is 301 characters long"}) {
    EXPECT_NE(run.err.find("brxpack:   " + line), std::string::npos) << line << "\n" << run.err;
  }
}

}  // namespace
}  // namespace brxpack
