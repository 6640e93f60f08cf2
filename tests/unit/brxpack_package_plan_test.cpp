#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "brxpack/authoring/entry_naming.h"
#include "brxpack/authoring/manifest_parser.h"
#include "brxpack/authoring/package_plan.h"
#include "support/brxpack_workspace.h"

namespace brxpack {
namespace {

using test::Workspace;

std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

Result<PackagePlan> Plan(const Workspace& workspace, const std::string& manifestText) {
  workspace.Write("brxpack.toml", manifestText);
  Result<Manifest> manifest = ReadManifestFile(workspace.Path("brxpack.toml"));
  if (!manifest.ok()) return manifest.TakeError();
  return PlanPackage(*manifest);
}

const SectionEntry* Find(const PackagePlan& plan, const std::string& name) {
  for (const SectionEntry& section : plan.sections) {
    if (section.name == name) return &section;
  }
  return nullptr;
}

// Tests that each section's payload is exactly the bytes the installer's
// layouts give for these examples, in the fixed order of the sections.
TEST(PackagePlanTest, EncodesEverySectionByteForByte) {
  Workspace workspace;
  workspace.Write("docs/readme.txt", "read me");
  const Result<PackagePlan> plan = Plan(workspace,
                                        "[target]\nregistry_key = 'SOFTWARE\\Pub\\App'\n"
                                        "patch_level = 1\n"
                                        "[startup]\ncaption = 'Обновление'\n"
                                        "question = \"Установить?\\r\\nOK\"\n"
                                        "[[file]]\nsource = 'docs/readme.txt'\n"
                                        "install = 'help\\readme.txt'\nentry = 'Docs\\Readme.txt'\n"
                                        "[folders]\ncreate = ['data', 'data\\maps']\n"
                                        "[[command]]\nprogram = 'tools\\conv.exe'\n"
                                        "[[command]]\nprogram = 'x.exe'\narguments = '-q'\n"
                                        "wait = false\nrelative = false\n"
                                        "[remove]\npaths = ['old.dll', 'olddir']\n"
                                        "[[registry]]\nroot = 'HKCU'\nkey = 'Software\\Pub'\n"
                                        "name = 'Size'\ntype = 'dword'\ndata = '0x1F'\n"
                                        "[[registry]]\nroot = 'HKLM'\nkey = 'K'\n"
                                        "type = 'key-only'\n");
  ASSERT_TRUE(plan.ok()) << plan.error();
  struct Expected {
    std::string name;
    std::string payload;
  };
  using namespace std::string_literals;
  const Expected expected[] = {
      {":RegistryKeys", "SOFTWARE\\Pub\\App\0ProgramPath\0ProgramName\0PatchLevel\0\x01\0\0\0\0"s},
      {":StartupMsg",
       "\xCE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xE5\0\xD3\xF1\xF2\xE0\xED\xEE\xE2\xE8\xF2\xFC?\r\nOK\0\0"s},
      {":XlatNamesTable", "Docs\\Readme.txt\0help\\readme.txt\0\0\0"s},
      {":Folders", "data\0data\\maps\0\0\0"s},
      {":CommandsToExecute", "\x03tools\\conv.exe\0\0\x00x.exe\0-q\0\0\0\0"s},
      {":FilesToRemove", "old.dll\0olddir\0\0\0"s},
      {":RegistryTable",
       "\x01\0\0\0\x01\0\0\0Software\\Pub\0\x01\0\0\0Size\0"
       "0x1F\0"
       "\x01\0\0\0\x02\0\0\0K\0\0\0\0\0\0\0\0\0\0\0\0"s},
  };
  ASSERT_EQ(plan->sections.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(plan->sections[i].name, expected[i].name);
    EXPECT_EQ(plan->sections[i].payload, Bytes(expected[i].payload));
  }
  ASSERT_EQ(plan->files.size(), 1u);
  EXPECT_EQ(plan->files[0].entryName, "Docs\\Readme.txt");
  EXPECT_EQ(plan->files[0].installedPath, "help\\readme.txt");
}

// Tests that payload folder files become entries under their relative
// paths, sorted, and that paths too long for an entry name get generated
// names and name table pairs of their own.
TEST(PackagePlanTest, NamesLongPathsThroughTheNameTable) {
  Workspace workspace;
  const std::string longFolder = "a folder whose name is rather long/";
  workspace.Write("payload/b.txt", "b");
  workspace.Write("payload/" + longFolder + "the first document.txt", "1");
  workspace.Write("payload/" + longFolder + "the second document.txt", "2");
  workspace.Write("payload/Ёлка/ёж.txt", "3");
  const Result<PackagePlan> plan = Plan(
      workspace, "[target]\nregistry_key = 'K'\npatch_level = 1\n[payload]\nfolder = 'payload'\n");
  ASSERT_TRUE(plan.ok()) << plan.error();
  ASSERT_EQ(plan->files.size(), 4u);
  const std::string longPath = "a folder whose name is rather long\\";
  EXPECT_EQ(plan->files[0].entryName, "~1~the first document.txt");
  EXPECT_EQ(plan->files[0].installedPath, longPath + "the first document.txt");
  EXPECT_EQ(plan->files[1].entryName, "~2~the second document.txt");
  EXPECT_EQ(plan->files[2].entryName, "b.txt");
  EXPECT_EQ(plan->files[3].entryName, "\xA8\xEB\xEA\xE0\\\xB8\xE6.txt");
  const SectionEntry* table = Find(*plan, ":XlatNamesTable");
  ASSERT_NE(table, nullptr);
  using namespace std::string_literals;
  EXPECT_EQ(table->payload, Bytes("~1~the first document.txt\0"s + longPath +
                                  "the first document.txt\0~2~the second document.txt\0"s +
                                  longPath + "the second document.txt\0\0\0"s));
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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const std::string name = GeneratedEntryName(c.number, c.path);
    EXPECT_EQ(name, c.name);
    EXPECT_LE(name.size(), 31u);
  }
}

// Tests that a [[file]] table replaces the payload folder's file of the same
// installed path, and that a rename moves a payload file.
TEST(PackagePlanTest, HandWrittenEntriesAdjustThePayload) {
  Workspace workspace;
  workspace.Write("payload/big.bin", "big");
  workspace.Write("payload/readme.txt", "readme");
  const Result<PackagePlan> plan =
      Plan(workspace,
           "[target]\nregistry_key = 'K'\npatch_level = 1\n"
           "[payload]\nfolder = 'payload'\n"
           "[[file]]\nsource = 'payload/big.bin'\ninstall = 'BIG.bin'\n"
           "stored = true\n"
           "[[rename]]\nentry = 'readme.txt'\ninstall = 'docs\\readme.txt'\n");
  ASSERT_TRUE(plan.ok()) << plan.error();
  ASSERT_EQ(plan->files.size(), 2u);
  EXPECT_EQ(plan->files[0].entryName, "readme.txt");
  EXPECT_EQ(plan->files[0].installedPath, "docs\\readme.txt");
  EXPECT_FALSE(plan->files[0].stored);
  EXPECT_EQ(plan->files[1].entryName, "BIG.bin");
  EXPECT_TRUE(plan->files[1].stored);
}

// Tests that plans the installer could not carry out are refused, each
// problem naming where it comes from.
TEST(PackagePlanTest, RefusesWhatCannotBeInstalled) {
  const std::string target = "[target]\nregistry_key = 'K'\npatch_level = 1\n";
  struct Case {
    std::string manifest;
    std::string message;  // the error holds this text
  };
  const Case cases[] = {
      {target + "[[file]]\nsource = 'missing.bin'\ninstall = 'm.bin'\n",
       "brxpack.toml:4:1: file[1].source: "},
      {target + "[[file]]\nsource = 'a.txt'\ninstall = '..\\a.txt'\n",
       "installed path '..\\a.txt' climbs out of the target folder"},
      {target + "[[file]]\nsource = 'empty.txt'\ninstall = 'e.txt'\n",
       "empty.txt is empty; the installer cannot write a file of 0 bytes"},
      {target + "[[file]]\nsource = 'a.txt'\ninstall = 'A.TXT'\n[[file]]\nsource = 'a.txt'\n"
                "install = 'a.txt'\n",
       "file[2]: entry name 'a.txt' is already used by"},
      {target + "[[file]]\nsource = 'a.txt'\ninstall = 'x.txt'\n[[rename]]\nentry = 'x.txt'\n"
                "install = 'y.txt'\n",
       "entry 'x.txt' is installed as 'y.txt' by"},
      {target + "[[file]]\nsource = 'a.txt'\nentry = 'one'\ninstall = 'same.txt'\n[[file]]\n"
                "source = 'a.txt'\nentry = 'two'\ninstall = 'same.txt'\n",
       "installed path 'same.txt' is already installed by"},
      {target + "[payload]\nfolder = 'nowhere'\n", "payload.folder: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.manifest);
    Workspace workspace;
    workspace.Write("a.txt", "a");
    workspace.Write("empty.txt", "");
    const Result<PackagePlan> plan = Plan(workspace, c.manifest);
    ASSERT_FALSE(plan.ok());
    EXPECT_NE(plan.error().find(c.message), std::string::npos) << plan.error();
  }
}

// Tests that a payload file name without a Windows-1251 form is refused,
// naming the file and the character.
TEST(PackagePlanTest, RefusesUnencodableFileNames) {
  Workspace workspace;
  workspace.Write("payload/Ωmega.txt", "x");
  const Result<PackagePlan> plan = Plan(
      workspace, "[target]\nregistry_key = 'K'\npatch_level = 1\n[payload]\nfolder = 'payload'\n");
  ASSERT_FALSE(plan.ok());
  EXPECT_NE(plan.error().find("Ωmega.txt: the file's name: the character 'Ω' (U+03A9)"),
            std::string::npos)
      << plan.error();
}

}  // namespace
}  // namespace brxpack
