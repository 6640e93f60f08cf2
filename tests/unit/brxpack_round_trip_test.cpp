#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "brxpack/contents/section_bytes.h"
#include "brxpack/reading/package_file.h"
#include "package/section_names.h"
#include "support/brxpack_workspace.h"

namespace brxpack {
namespace {

using namespace std::string_literals;
using test::Bytes;
using test::EntryStorage;
using test::RunTool;
using test::Workspace;

// Name and content of every entry in the order of the directory; a
// compressed entry may come back stored when compression gains nothing, so
// only the bytes count.
std::vector<std::pair<std::string, std::vector<uint8_t>>> Entries(const Workspace& workspace,
                                                                  const std::string& file) {
  Result<OpenedPackage> opened = OpenPackageForReading(workspace.Path(file));
  EXPECT_TRUE(opened.ok()) << opened.error();
  std::vector<std::pair<std::string, std::vector<uint8_t>>> entries;
  for (uint32_t i = 0; opened.ok() && i < opened->package().entryCount(); ++i) {
    const brx::DirectoryEntry& entry = opened->package().directory[i];
    // Every build writes its own digest; it is no content of the package.
    if (brx::ClassifySection(entry.name) == brx::SectionKind::kDigest) continue;
    const std::optional<SectionBytes> content = ProduceEntry(opened->package(), entry);
    EXPECT_TRUE(content) << entry.name;
    entries.emplace_back(entry.name, content ? content->payload() : Bytes(""));
  }
  return entries;
}

// The round trip: the manifest and the extracted files of `original`, then
// a new build from them into rebuilt.brx.
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
// tool byte for byte: every section in the publisher's tables (none falls
// back to bytes), every file with its entry name, storage and bytes.
TEST(RoundTripTest, RebuildsTheSamePackage) {
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
  const test::ToolRun build =
      RunTool({"build", workspace.Text("brxpack.toml"), "-o", workspace.Text("first.brx")});
  ASSERT_EQ(build.code, 0) << build.err;
  RoundTrip(workspace, "first.brx");
  EXPECT_EQ(workspace.ReadBytes("rebuilt.brx"), workspace.ReadBytes("first.brx"))
      << workspace.Read("again/brxpack.toml");
  // Only the section written byte for byte comes back so.
  const std::string manifest = workspace.Read("again/brxpack.toml");
  EXPECT_EQ(manifest.find("[[section]]"), manifest.rfind("[[section]]")) << manifest;
}

// Tests that a package from another writer keeps every entry, every section
// and every file's bytes: sections the tables cannot say exactly (an unknown
// section, a repeated one, a root the tool does not write, an empty command
// list, a list with bytes after its end, a name without a character) travel
// byte for byte.
TEST(RoundTripTest, KeepsWhatTheTablesCannotSay) {
  Workspace workspace;
  workspace.Write(
      "foreign.brx",
      test::PackageOf({{"data\\a.txt", Bytes("aaaa"), EntryStorage::kCompressed},
                       {":RegistryKeys", Bytes("K\0P\0N\0L\0\1\0\0\0\0"s), EntryStorage::kStored},
                       {":RegistryTable", Bytes("\1\0\0\0\7\0\0\0K\0\2\0\0\0V\0D\0\0\0\0\0\0"s),
                        EntryStorage::kCompressed},
                       {":CommandsToExecute", Bytes("\0\0\0"s), EntryStorage::kStored},
                       {":Folders", Bytes("a\0\0junk"s), EntryStorage::kStored},
                       {":Unknown", Bytes("\xFF\x98"s), EntryStorage::kStored},
                       {":folders", Bytes("b\0\0\0"s), EntryStorage::kStored},
                       {":XlatNamesTable", Bytes("n.txt\0n\x98.txt\0\0\0"s), EntryStorage::kStored},
                       {"n.txt", Bytes("n"), EntryStorage::kStored},
                       {"b.bin", Bytes("\x98 stored"s), EntryStorage::kStored}}));
  RoundTrip(workspace, "foreign.brx");
  // Sections come first in a build; otherwise the same entries in order.
  auto before = Entries(workspace, "foreign.brx");
  std::stable_partition(before.begin(), before.end(),
                        [](const auto& entry) { return entry.first[0] == ':'; });
  EXPECT_EQ(Entries(workspace, "rebuilt.brx"), before) << workspace.Read("again/brxpack.toml");
}

}  // namespace
}  // namespace brxpack
