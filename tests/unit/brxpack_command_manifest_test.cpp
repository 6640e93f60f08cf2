#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "authoring/writer.h"
#include "brxpack/contents/section_bytes.h"
#include "brxpack/reading/package_file.h"
#include "support/brxpack_workspace.h"

namespace brxpack {
namespace {

using test::RunTool;
using test::Workspace;

std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

struct EntryFacts {
  std::string name;
  bool compressed;
  std::vector<uint8_t> content;
  bool operator==(const EntryFacts&) const = default;
};

std::vector<EntryFacts> Entries(const Workspace& workspace, const std::string& file) {
  Result<OpenedPackage> opened = OpenPackageForReading(workspace.Path(file));
  EXPECT_TRUE(opened.ok()) << opened.error();
  std::vector<EntryFacts> facts;
  if (!opened.ok()) return facts;
  const brx::Package& package = opened->package();
  for (uint32_t i = 0; i < package.entryCount(); ++i) {
    const brx::DirectoryEntry& entry = package.directory[i];
    const std::optional<SectionBytes> content = ProduceEntry(package, entry);
    EXPECT_TRUE(content) << entry.name;
    facts.push_back({entry.name, entry.IsCompressed(), content ? content->payload() : Bytes("")});
  }
  return facts;
}

// Runs the round trip: manifest and extracted files from `original`, then a
// new build from them into rebuilt.brx.
void RoundTrip(const Workspace& workspace, const std::string& original) {
  const test::ToolRun extract =
      RunTool({"extract", workspace.Text(original), "-C", workspace.Text("again/payload")});
  ASSERT_EQ(extract.code, 0) << extract.err;
  const test::ToolRun manifest =
      RunTool({"manifest", workspace.Text(original), "-o", workspace.Text("again/brxpack.toml")});
  ASSERT_EQ(manifest.code, 0) << manifest.err;
  const test::ToolRun build =
      RunTool({"build", workspace.Text("again/brxpack.toml"), "-o", workspace.Text("rebuilt.brx")});
  ASSERT_EQ(build.code, 0) << build.err << "\n" << workspace.Read("again/brxpack.toml");
}

// Tests that manifest, extract and build give back a package built by the
// tool byte for byte: every section in the publisher's tables, every file
// with its entry name, storage and bytes.
TEST(ManifestCommandTest, RoundTripGivesTheSamePackage) {
  Workspace workspace;
  workspace.Write("brxpack.toml",
                  "[target]\nregistry_key = 'SOFTWARE\\Pub\\Карты'\nlevel_value = 'Level'\n"
                  "patch_level = -3\n"
                  "[startup]\ncaption = 'Обновление «2»'\nquestion = \"Установить?\\r\\n'OK'\"\n"
                  "[payload]\nfolder = 'files'\n"
                  "[[file]]\nsource = 'extra.bin'\ninstall = 'bin\\extra.bin'\nstored = true\n"
                  "[[rename]]\nentry = 'read.txt'\ninstall = 'docs\\read.txt'\n"
                  "[folders]\ncreate = ['data', 'data\\maps']\n"
                  "[[command]]\nprogram = 'tools\\conv.exe'\narguments = '--all \"x y\"'\n"
                  "[[command]]\nprogram = 'C:\\x.exe'\nwait = false\nrelative = false\n"
                  "[remove]\npaths = []\n"
                  "[[registry]]\nroot = 'HKCU'\nkey = 'Software\\Pub'\nname = 'N'\n"
                  "type = 'dword'\ndata = '0x1F'\n"
                  "[[registry]]\nroot = 'HKLM'\nkey = 'Software\\Pub'\nname = 'M'\n"
                  "type = 'dword'\ndata = -7\noperation = 'skip'\n"
                  "[[registry]]\nroot = 'HKLM'\nkey = 'Software\\Pub\\Empty'\ntype = 'key-only'\n"
                  "[[registry]]\nroot = 'HKCU'\nkey = 'K'\ntype = 'string'\ndata = \"tab\\there\"\n"
                  "[[section]]\nname = ':Publisher'\nbytes = '00 01 02'\n");
  workspace.Write("files/read.txt", "read me, read me, read me");
  workspace.Write("files/Карты/север.map", std::string(5000, 'n'));
  workspace.Write("files/a long folder name for the name table/a long file name.txt", "long");
  workspace.Write("extra.bin", std::string(300, 'x'));
  ASSERT_EQ(
      RunTool({"build", workspace.Text("brxpack.toml"), "-o", workspace.Text("first.brx")}).code,
      0);
  RoundTrip(workspace, "first.brx");
  EXPECT_EQ(workspace.ReadBytes("rebuilt.brx"), workspace.ReadBytes("first.brx"))
      << workspace.Read("again/brxpack.toml");
}

// Tests that a package from another writer keeps every entry, every section
// and every file's bytes: sections the tables cannot say exactly (an unknown
// section, a repeated one, a root the tool does not write, an empty command
// list, a list with bytes after its end) travel byte for byte.
TEST(ManifestCommandTest, RoundTripKeepsWhatTheTablesCannotSay) {
  using brx::EntryStorage;
  Workspace workspace;
  using namespace std::string_literals;
  std::string error;
  const std::vector<uint8_t> package =
      brx::WritePackage({{"data\\a.txt", Bytes("aaaa"), EntryStorage::kCompressed},
                         {":RegistryKeys", Bytes("K\0P\0N\0L\0\1\0\0\0\0"s), EntryStorage::kStored},
                         {":RegistryTable", Bytes("\1\0\0\0\7\0\0\0K\0\2\0\0\0V\0D\0\0\0\0\0\0"s),
                          EntryStorage::kCompressed},
                         {":CommandsToExecute", Bytes("\0\0\0"s), EntryStorage::kStored},
                         {":Folders", Bytes("a\0\0junk"s), EntryStorage::kStored},
                         {":Unknown", Bytes("\xFF\x98"s), EntryStorage::kStored},
                         {":folders", Bytes("b\0\0\0"s), EntryStorage::kStored},
                         {"b.bin", Bytes("\x98 stored"s), EntryStorage::kStored}},
                        {}, &error);
  ASSERT_FALSE(package.empty()) << error;
  workspace.Write("foreign.brx", package);
  RoundTrip(workspace, "foreign.brx");

  // Sections come first in a build; otherwise the same entries in order.
  std::vector<EntryFacts> before = Entries(workspace, "foreign.brx");
  std::stable_partition(before.begin(), before.end(),
                        [](const EntryFacts& entry) { return entry.name[0] == ':'; });
  std::vector<EntryFacts> after = Entries(workspace, "rebuilt.brx");
  // A compressed entry may be stored in the rebuild when compression gains
  // nothing; the bytes are what counts.
  for (EntryFacts& entry : before) entry.compressed = false;
  for (EntryFacts& entry : after) entry.compressed = false;
  EXPECT_EQ(after, before) << workspace.Read("again/brxpack.toml");
}

}  // namespace
}  // namespace brxpack
