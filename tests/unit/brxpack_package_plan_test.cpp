#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "brxpack/manifest/manifest_parser.h"
#include "brxpack/package/package_plan.h"
#include "brxpack/host/progress_meter.h"
#include "support/brxpack_workspace.h"

namespace brxpack {
namespace {

using namespace std::string_literals;
using test::Bytes;
using test::Placed;
using test::Workspace;

Result<PackagePlan> Plan(const Workspace& workspace, const std::string& manifestText) {
  workspace.Write("brxpack.toml", manifestText);
  Result<Manifest> manifest = ReadManifestFile(workspace.Path("brxpack.toml"));
  if (!manifest.ok()) return manifest.TakeError();
  return PlanPackage(*manifest);
}

const std::string kTarget = "[target]\nregistry_key = 'K'\npatch_level = 3\n";

// Tests that each mistake in a manifest, or in the files it names, is
// refused with every problem on a line naming the file, line, column and
// field, so a typo never passes silently; an empty message means accepted.
TEST(PackagePlanTest, RefusesWithFileLineAndField) {
  struct Case {
    std::string manifest;
    std::string message;
  };
  const Case cases[] = {
      {kTarget + "[startup]\ncaption = 'a'\nquestoin = 'b'\n",
       "@brxpack.toml:4:1: startup.question: is required but missing\n"
       "@brxpack.toml:6:1: startup.questoin: unknown key, did you mean question?"},
      {kTarget + "[payloads]\nfolder = 'x'\n",
       "@brxpack.toml:4:2: payloads: unknown key, did you mean payload?"},
      {"[target]\nregistry_key = 'K'\npatch_levle = 3\n",
       "@brxpack.toml:1:1: target.patch_level: is required but missing\n"
       "@brxpack.toml:3:1: target.patch_levle: unknown key, did you mean patch_level?"},
      {kTarget + "[startup]\ncaption = 'a'\nquestion = 'b'\nclose = 1\n",
       "@brxpack.toml:7:1: startup.close: unknown key"},
      {kTarget + "[startup]\ncaption = 'Ωmega'\nquestion = ''\n",
       "@brxpack.toml:5:11: startup.caption: the character 'Ω' (U+03A9) has no Windows-1251 "
       "form"},
      {"[target]\nregistry_key = 'K'\npatch_level = 'one'\n",
       "@brxpack.toml:3:15: target.patch_level: must be a whole number"},
      {"[target]\nregistry_key = 'K'\npatch_level = 4294967296\n",
       "@brxpack.toml:3:15: target.patch_level: must lie between -2147483648 and 2147483647, "
       "not 4294967296"},
      {"[startup]\ncaption = 'a'\nquestion = 'b'\n",
       "@brxpack.toml:1:1: target: is required: the [target] table names the program to update"},
      // Stands in for [target].
      {"[[section]]\nname = ':RegistryKeys'\nbytes = '4B 00 50 00 4E 00 4C 00 01 00 00 00'\n", ""},
      {kTarget + "[package]\nlevel = 13\n",
       "@brxpack.toml:5:9: package.level: must lie between 0 and 12, not 13"},
      {kTarget + "[[file]]\nsource = 'a'\n",
       "@brxpack.toml:4:1: file[1].install: is required (the installed path), unless entry is "
       "given"},
      {kTarget + "[[file]]\nsource = 'a'\nentry = 'a-name-that-is-longer-than-31-bytes'\n",
       "@brxpack.toml:6:9: file[1].entry: is 35 bytes long; entry names hold at most 31"},
      {kTarget + "[[file]]\nsource = 'a'\nentry = ':Folders'\n",
       "@brxpack.toml:6:9: file[1].entry: must not begin with ':', which marks a section"},
      {kTarget + "[file]\nsource = 'a'\n",
       "@brxpack.toml:4:1: file: must be written as [[file]] tables"},
      {kTarget + "[folders]\ncreate = ['a', '', 'b']\n",
       "@brxpack.toml:5:16: folders.create[2]: is empty, which would end the list early"},
      {kTarget + "[[command]]\nprogram = 'a'\nwait = 'yes'\n",
       "@brxpack.toml:6:8: command[1].wait: must be true or false"},
      {kTarget + "[[registry]]\nroot = 'HKCR'\nkey = 'k'\ntype = 'string'\ndata = ''\n",
       "@brxpack.toml:5:8: registry[1].root: must be \"HKCU\" or \"HKLM\", not \"HKCR\""},
      {kTarget + "[[registry]]\nroot = 'HKCU'\nkey = 'k'\ntype = 'dword'\ndata = '12abc'\n",
       "@brxpack.toml:8:8: registry[1].data: must be a whole number, or a text such as \"42\" "
       "or \"0x1F\""},
      {kTarget + "[[registry]]\nroot = 'HKCU'\nkey = 'k'\ntype = 'key-only'\ndata = 'x'\n",
       "@brxpack.toml:8:8: registry[1].data: is not used by a key-only value; remove it"},
      {kTarget + "[[registry]]\nroot = 'HKCU'\nkey = 'k'\ntype = 'dword'\n",
       "@brxpack.toml:4:1: registry[1].data: is required but missing"},
      {kTarget + "[[section]]\nname = 'Extra'\nbytes = '0'\n",
       "@brxpack.toml:5:8: section[1].name: must begin with ':'\n"
       "@brxpack.toml:6:9: section[1].bytes: must be pairs of hexadecimal digits"},
      {kTarget + "[[rename]]\nentry = 'a'\ninstall = ''\n",
       "@brxpack.toml:6:11: rename[1].install: '' is empty"},
      // Every path in every section follows one rule; only a program said
      // not to be relative may be absolute.
      {kTarget + "[remove]\npaths = ['..\\Common Files\\Acme', 'C:\\Windows\\win.ini', '\\Users']\n"
                 "[folders]\ncreate = ['..\\outside', 'D:\\x']\n"
                 "[[command]]\nprogram = '..\\..\\x.exe'\n",
       "@brxpack.toml:5:10: remove.paths[1]: '..\\Common Files\\Acme' climbs out of the "
       "program's folder with \"..\"\n"
       "@brxpack.toml:5:34: remove.paths[2]: 'C:\\Windows\\win.ini' holds a colon (a drive "
       "letter or a stream name)\n"
       "@brxpack.toml:5:56: remove.paths[3]: '\\Users' is absolute (begins with a separator)\n"
       "@brxpack.toml:7:11: folders.create[1]: '..\\outside' climbs out of the program's folder "
       "with \"..\"\n"
       "@brxpack.toml:7:25: folders.create[2]: 'D:\\x' holds a colon (a drive letter or a "
       "stream name)\n"
       "@brxpack.toml:9:11: command[1].program: '..\\..\\x.exe' climbs out of the program's "
       "folder with \"..\""},
      {kTarget + "[remove]\npaths = [\"data\\new.txt\"]\n",
       "@brxpack.toml:5:10: remove.paths[1]: 'data<U+000A>ew.txt' holds a control character "
       "(U+000A)"},
      {kTarget + "[[file]]\nsource = 'a.txt'\ninstall = 'bin\\CON.txt'\n",
       "@brxpack.toml:6:11: file[1].install: 'bin\\CON.txt' has the component 'CON.txt', a "
       "Windows device name, not a file"},
      {kTarget + "[[command]]\nprogram = 'setup.exe'\nrelative = false\n",
       "@brxpack.toml:5:11: command[1].program: 'setup.exe' is not an absolute path (such as "
       "C:\\Tools\\setup.exe); a program that is not relative to the program's folder is "
       "started as it stands, from whatever folder the installer runs in"},
      {kTarget + "[[registry]]\nroot = 'HKCU'\nkey = \"Soft\\tware\"\ntype = 'key-only'\n",
       "@brxpack.toml:6:7: registry[1].key: 'Soft<U+0009>ware' holds a control character (U+0009)"},
      {kTarget + "[[section]]\nname = ':Folders'\nbytes = '61 2E 00 00'\n",
       "@brxpack.toml:6:9: section[1].bytes: item 1 \"a.\" has the component 'a.', ending in a "
       "dot or a space that Windows drops"},
      {kTarget + "[[file]]\nsource = 'a.txt'\ninstall = 'a.txt'\n"
                 "[[rename]]\nentry = 'b.txt'\ninstall = 'c.txt'\n",
       "@brxpack.toml:7:1: rename[1].entry: 'b.txt' names no entry of the package, so its pair "
       "would never be used"},
      {kTarget + "[payload]\nfolder = 'linked'\n",
       "@linked/passwd: a symbolic link; a payload takes the files links point to only with "
       "[payload] symlinks = true"},
      {kTarget + "[payload]\nfolder = 'linked'\nsymlinks = true\nexclude = ['../x']\n",
       "@brxpack.toml:7:12: payload.exclude[1]: holds a \"..\" component; patterns name paths "
       "below the folder"},
      {"[target\n", "@brxpack.toml:1:8: Error while parsing table header: expected ']', saw '\\n'"},
      // The files the manifest names.
      {kTarget + "[[file]]\nsource = 'missing.bin'\ninstall = 'm.bin'\n",
       "@brxpack.toml:4:1: file[1].source: @missing.bin: no such file"},
      {kTarget + "[payload]\nfolder = 'nowhere'\n",
       "@brxpack.toml:4:1: payload.folder: @nowhere: no such folder"},
      {kTarget + "[payload]\nfolder = 'payload'\n",
       "@payload/Ωmega.txt: the file's name: the character 'Ω' (U+03A9) has no Windows-1251 "
       "form"},
      {kTarget + "[payload]\nfolder = 'payload'\nonly = ['ΩMEGA.txt', 'gone.txt']\n",
       "@brxpack.toml:6:22: payload.only[2]: 'gone.txt' is no file of the payload folder\n"
       "@payload/Ωmega.txt: the file's name: the character 'Ω' (U+03A9) has no Windows-1251 "
       "form"},
      {kTarget + "[payload]\nfolder = 'devices'\n",
       "@devices/aux.txt: installed path 'aux.txt' has the component 'aux.txt', a Windows device "
       "name, not a file"},
      {kTarget + "[[file]]\nsource = 'empty.txt'\ninstall = 'e.txt'\n", ""},  // installed empty
      {kTarget + "[[file]]\nsource = 'a.txt'\ninstall = 'A.TXT'\n"
                 "[[file]]\nsource = 'a.txt'\ninstall = 'a.txt'\n",
       "@brxpack.toml:7:1: file[2]: entry name 'a.txt' is already used by @brxpack.toml:4:1: "
       "file[1]"},
      {kTarget + "[[file]]\nsource = 'a.txt'\ninstall = 'x.txt'\n"
                 "[[rename]]\nentry = 'x.txt'\ninstall = 'y.txt'\n",
       "@brxpack.toml:4:1: file[1]: entry 'x.txt' is installed as 'y.txt' by @brxpack.toml:7:1: "
       "rename[1]"},
      {kTarget + "[[file]]\nsource = 'a.txt'\nentry = 'one'\ninstall = 'same.txt'\n"
                 "[[file]]\nsource = 'a.txt'\nentry = 'two'\ninstall = 'same.txt'\n",
       "@brxpack.toml:8:1: file[2]: installed path 'same.txt' is already installed by "
       "@brxpack.toml:4:1: file[1]"},
      {kTarget + "[[file]]\nsource = 'a.txt'\ninstall = 'a.txt'\n[remove]\npaths = ['A.TXT']\n",
       "remove.paths[1]: 'A.TXT' is installed by @brxpack.toml:4:1: file[1], and removing it "
       "after the files would leave the update without it"},
      {kTarget + "[[file]]\nsource = 'a.txt'\ninstall = '" + std::string(253, 'x') + "'\n",
       "@brxpack.toml:6:11: file[1].install: '" + std::string(253, 'x') +
           "' is 253 characters long: even below the shortest program folder (C:\\) and with "
           "\".bak\" it passes the 259 characters Windows takes (at most 252 fit)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.manifest);
    Workspace workspace;
    workspace.Write("a.txt", "a");
    workspace.Write("empty.txt", "");
    workspace.Write("payload/Ωmega.txt", "x");
    workspace.Write("linked/readme.txt", "r");
    workspace.Write("devices/aux.txt", "a");
    std::filesystem::create_symlink("/etc/passwd", workspace.Path("linked/passwd"));
    const Result<PackagePlan> plan = Plan(workspace, c.manifest);
    EXPECT_EQ(plan.ok() ? "" : plan.error(), Placed(workspace, c.message));
  }
}

// Tests that measuring a package draws its progress on the terminal it is
// given, up to 100%, and draws nothing without one.
TEST(PackageSizeTest, DrawsProgressOnlyOnATerminal) {
  Workspace workspace;
  workspace.Write("payload/big.dat", std::string(kProgressThreshold + 1, 'x'));
  const Result<Manifest> manifest =
      ParseManifest(kTarget + "[payload]\nfolder = 'payload'\n", workspace.Path("brxpack.toml"));
  ASSERT_TRUE(manifest.ok()) << manifest.error();
  for (const bool terminal : {true, false}) {
    std::ostringstream drawn;
    const Result<uint64_t> size = PackageSize(
        *manifest, 1, 1, workspace.Path(""), {terminal ? &drawn : nullptr, "measuring the update"});
    ASSERT_TRUE(size.ok()) << size.error();
    EXPECT_GT(*size, 0u);
    EXPECT_EQ(drawn.str().find("\rmeasuring the update: 100%") != std::string::npos, terminal)
        << drawn.str();
  }
}

// Tests that the package table's settings are read.
TEST(PackagePlanTest, ReadsPackageSettings) {
  const Result<Manifest> manifest =
      ParseManifest(kTarget + "[package]\nlevel = 6\noutput = 'out/u.brx'\n", "m.toml");
  ASSERT_TRUE(manifest.ok()) << manifest.error();
  EXPECT_EQ(manifest->level, 6);
  EXPECT_EQ(manifest->output, "out/u.brx");
}

// Tests that every table lands in its section exactly as the installer's
// layouts give it (texts in Windows-1251, flag bits, registry codes, numbers
// as the installer reads them), in the fixed order of the sections.
TEST(PackagePlanTest, EncodesEverySectionByteForByte) {
  Workspace workspace;
  const Result<PackagePlan> plan =
      Plan(workspace,
           "[target]\nregistry_key = 'SOFTWARE\\Pub\\App'\nfolder_value = 'Folder'\n"
           "patch_level = 1\n"
           "[startup]\ncaption = 'Обновление'\nquestion = \"Установить?\\r\\nOK\"\n"
           "[folders]\ncreate = ['data', 'data\\maps']\n"
           "[[command]]\nprogram = 'tools\\conv.exe'\n"
           "[[command]]\nprogram = 'C:\\x.exe'\narguments = '-q'\nwait = false\nrelative = false\n"
           "[remove]\npaths = ['old.dll', 'olddir']\n"
           "[[registry]]\nroot = 'HKCU'\nkey = 'Software\\Pub'\nname = 'Size'\ntype = 'dword'\n"
           "data = '0x1F'\n"
           "[[registry]]\nroot = 'HKEY_LOCAL_MACHINE'\nkey = 'K'\ntype = 'key-only'\n"
           "[[registry]]\nroot = 'HKLM'\nkey = 'K'\nname = 'N'\ntype = 'dword'\n"
           "data = 4294967295\noperation = 'skip'\n"
           "[[registry]]\nroot = 'HKEY_CURRENT_USER'\nkey = 'K'\ntype = 'string'\n"
           "data = 'текст'\n"
           "[[section]]\nname = ':Extra'\nbytes = '01 02'\n");
  ASSERT_TRUE(plan.ok()) << plan.error();
  const std::pair<std::string, std::string> expected[] = {
      {":RegistryKeys", "SOFTWARE\\Pub\\App\0Folder\0ProgramName\0PatchLevel\0\x01\0\0\0\0"s},
      {":StartupMsg",
       "\xCE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xE5\0\xD3\xF1\xF2\xE0\xED\xEE\xE2\xE8\xF2\xFC?\r\nOK\0\0"s},
      {":Folders", "data\0data\\maps\0\0\0"s},
      {":CommandsToExecute",
       "\x03tools\\conv.exe\0\0\0"
       "C:\\x.exe\0-q\0\0\0\0"s},
      {":FilesToRemove", "old.dll\0olddir\0\0\0"s},
      {":RegistryTable",
       "\x01\0\0\0\x01\0\0\0Software\\Pub\0\x01\0\0\0Size\0"
       "0x1F\0"
       "\x01\0\0\0\x02\0\0\0K\0\0\0\0\0\0\0"
       "\x02\0\0\0\x02\0\0\0K\0\x01\0\0\0N\0-1\0"
       "\x01\0\0\0\x01\0\0\0K\0\x02\0\0\0\0\xF2\xE5\xEA\xF1\xF2\0"
       "\0\0\0\0\0"s},
      {":Extra", "\x01\x02"s},
  };
  ASSERT_EQ(plan->sections.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(plan->sections[i].name, expected[i].first);
    EXPECT_EQ(plan->sections[i].payload, Bytes(expected[i].second)) << expected[i].first;
  }
}

// Tests that payload folder files become entries under their relative
// paths, sorted, leaving out version control, the systems' own files and
// what exclude names unless include names it; that paths too long for an
// entry name get generated names and name table pairs of their own, and
// that a [[file]] table replaces the payload file of its installed path
// while a rename moves one.
TEST(PackagePlanTest, NamesPayloadFiles) {
  Workspace workspace;
  const std::string longFolder = "a folder whose name is rather long/";
  workspace.Write("payload/b.txt", "b");
  workspace.Write("payload/" + longFolder + "the first document.txt", "1");
  workspace.Write("payload/" + longFolder + "the second document.txt", "2");
  workspace.Write("payload/Ёлка/ёж.txt", "3");
  workspace.Write("payload/big.bin", "big");
  workspace.Write("payload/readme.txt", "readme");
  for (const char* leftOut : {".git/config", "Ёлка/.svn/entries", "Thumbs.db", "x/DESKTOP.INI",
                              ".DS_Store", "b.pdb", "keep/.hg/x.pdb"}) {
    workspace.Write("payload/" + std::string(leftOut), "x");
  }
  workspace.Write("payload/keep/a.pdb", "kept");
  const Result<PackagePlan> plan =
      Plan(workspace, kTarget +
                          "[payload]\nfolder = 'payload'\nexclude = ['*.pdb']\n"
                          "include = ['keep/*.pdb']\n"
                          "[[file]]\nsource = 'payload/big.bin'\ninstall = 'BIG.bin'\n"
                          "stored = true\n"
                          "[[rename]]\nentry = 'readme.txt'\ninstall = 'docs/readme.txt'\n");
  ASSERT_TRUE(plan.ok()) << plan.error();
  const std::string longPath = "a folder whose name is rather long\\";
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"~1~the first document.txt", longPath + "the first document.txt"},
      {"~2~the second document.txt", longPath + "the second document.txt"},
      {"b.txt", "b.txt"},
      {"keep\\a.pdb", "keep\\a.pdb"},
      {"readme.txt", "docs\\readme.txt"},
      {"\xA8\xEB\xEA\xE0\\\xB8\xE6.txt", "\xA8\xEB\xEA\xE0\\\xB8\xE6.txt"},
      {"BIG.bin", "BIG.bin"},
  };
  std::vector<std::pair<std::string, std::string>> names;
  for (const PlannedFile& file : plan->files)
    names.emplace_back(file.entryName, file.installedPath);
  EXPECT_EQ(names, expected);
  EXPECT_FALSE(plan->files[4].stored);
  EXPECT_TRUE(plan->files[6].stored);
  ASSERT_EQ(plan->sections[1].name, ":XlatNamesTable");
  EXPECT_EQ(plan->sections[1].payload,
            Bytes("readme.txt\0docs\\readme.txt\0~1~the first document.txt\0"s + longPath +
                  "the first document.txt\0~2~the second document.txt\0"s + longPath +
                  "the second document.txt\0\0\0"s));
}

// Tests that paths longer than a typical program folder leaves room for
// are warned of, each with its field, and shorter ones are not.
TEST(PackagePlanTest, WarnsOfPathsATypicalFolderCannotTake) {
  Workspace workspace;
  workspace.Write("a.txt", "a");
  const Result<PackagePlan> plan =
      Plan(workspace, kTarget + "[[file]]\nsource = 'a.txt'\ninstall = '" + std::string(161, 'x') +
                          "'\n[folders]\ncreate = ['" + std::string(160, 'y') +
                          "']\n[remove]\npaths = ['" + std::string(200, 'z') + "']\n");
  ASSERT_TRUE(plan.ok()) << plan.error();
  ASSERT_EQ(plan->warnings.size(), 2u);
  EXPECT_NE(plan->warnings[0].find("file[1]: installed path 'xxx"), std::string::npos);
  EXPECT_NE(plan->warnings[0].find("is 161 characters long, more than the 160"), std::string::npos);
  EXPECT_EQ(plan->warnings[1].find("remove.paths[1]: 'zzz"), 0u);
}

// Tests that a generated name keeps the start of the file's name and its
// extension, and fits the 31 bytes of the name field.
TEST(PackagePlanTest, GeneratedNamesFitTheNameField) {
  struct Case {
    unsigned number;
    std::string path;
    std::string name;
  };
  const Case cases[] = {
      {1, "deep\\short.txt", "~1~short.txt"},
      {2, "x\\what is new in this version.txt", "~2~what is new in this vers.txt"},
      {12, "x\\averyveryveryverylongnamewithoutextension", "~12~averyveryveryverylongnamewi"},
      {3, "x\\archive.tar.gzipped-long-extension", "~3~archive.tar.gzipped-long-ext"},
      {4, "x\\a very long name for a data file.1234567", "~4~a very long name for.1234567"},
  };
  for (const Case& c : cases) EXPECT_EQ(GeneratedEntryName(c.number, c.path), c.name);
}

}  // namespace
}  // namespace brxpack
