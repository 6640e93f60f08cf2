#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "authoring/writer.h"
#include "package/format.h"
#include "support/brxpack_workspace.h"

namespace brxpack {
namespace {

using brx::EntryStorage;
using test::RunTool;
using test::Workspace;

std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

const brx::PackageEntrySource kKeys = {
    ":RegistryKeys", Bytes(std::string("K\0P\0N\0L\0\1\0\0\0\0", 13)), EntryStorage::kStored};

void WritePackage(const Workspace& workspace, const std::vector<brx::PackageEntrySource>& entries) {
  std::string error;
  const std::vector<uint8_t> package = brx::WritePackage(entries, {}, &error);
  ASSERT_FALSE(package.empty()) << error;
  workspace.Write("p.brx", package);
}

// Tests that files are written under their installed names (through the
// name table, Windows-1251 names as UTF-8), that a later entry for the same
// path wins as it does when installing, and that sections are not written.
TEST(ExtractCommandTest, WritesInstalledNames) {
  Workspace workspace;
  WritePackage(
      workspace,
      {kKeys,
       {":XlatNamesTable", Bytes(std::string("~1~n.txt\0deep\\er\\n.txt\0\0", 24)),
        EntryStorage::kStored},
       {"~1~n.txt", Bytes("translated"), EntryStorage::kCompressed},
       {"\xCA\xE0\xF0\xF2\xFB\\a.map", Bytes(std::string(100000, 'm')), EntryStorage::kCompressed},
       {"same.txt", Bytes("first"), EntryStorage::kStored},
       {"SAME.txt", Bytes("second"), EntryStorage::kStored}});
  const test::ToolRun run =
      RunTool({"extract", workspace.Text("p.brx"), "-C", workspace.Text("out")});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(workspace.Files(), (std::vector<std::string>{"out/deep/er/n.txt", "out/same.txt",
                                                         "out/Карты/a.map", "p.brx"}));
  EXPECT_EQ(workspace.Read("out/deep/er/n.txt"), "translated");
  EXPECT_EQ(workspace.Read("out/Карты/a.map"), std::string(100000, 'm'));
  EXPECT_EQ(workspace.Read("out/same.txt"), "second");
}

// Tests that a name that would leave the folder refuses the whole
// extraction: nothing is written, and every such name is reported.
TEST(ExtractCommandTest, RefusesNamesThatEscape) {
  const char* const escaping[] = {"..\\evil.dll", "a\\..\\..\\evil.dll", "C:\\evil.dll",
                                  "\\evil.dll", "a/../../evil.dll"};
  for (const char* name : escaping) {
    SCOPED_TRACE(name);
    Workspace workspace;
    WritePackage(workspace, {kKeys,
                             {"fine.txt", Bytes("fine"), EntryStorage::kStored},
                             {name, Bytes("evil"), EntryStorage::kStored}});
    const test::ToolRun run =
        RunTool({"extract", workspace.Text("p.brx"), "-C", workspace.Text("out/inner")});
    EXPECT_EQ(run.code, 2);
    EXPECT_NE(run.err.find(std::string("installed as \"") + name), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("nothing extracted"), std::string::npos) << run.err;
    EXPECT_EQ(workspace.Files(), std::vector<std::string>{"p.brx"});
  }
}

// Tests that a damaged file entry is reported (exit 1) and not written,
// while the sound ones are.
TEST(ExtractCommandTest, ReportsDamagedEntries) {
  Workspace workspace;
  std::string error;
  std::vector<uint8_t> package =
      brx::WritePackage({kKeys,
                         {"good.txt", Bytes("good good good"), EntryStorage::kCompressed},
                         {"bad.txt", Bytes(std::string(500, 'b')), EntryStorage::kCompressed}},
                        {}, &error);
  // The last byte before the directory is the bad entry's Adler-32.
  const uint32_t directory = brx::ReadLe32(package.data() + 20);
  package[directory - 1] ^= 0xFF;
  workspace.Write("p.brx", package);
  const test::ToolRun run =
      RunTool({"extract", workspace.Text("p.brx"), "-C", workspace.Text("out")});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("entry \"bad.txt\" is damaged"), std::string::npos) << run.err;
  EXPECT_EQ(workspace.Files(), (std::vector<std::string>{"out/good.txt", "p.brx"}));
}

}  // namespace
}  // namespace brxpack
