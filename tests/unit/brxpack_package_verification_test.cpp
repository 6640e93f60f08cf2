#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "authoring/writer.h"
#include "brxpack/reading/package_verification.h"
#include "package/format.h"
#include "package/reader.h"
#include "support/brxpack_workspace.h"
#include "support/pe_samples.h"

namespace brxpack {
namespace {

using test::RunTool;
using test::Workspace;

std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

const std::string kKeys =
    std::string("SOFTWARE\\Pub\\App\0ProgramPath\0ProgramName\0PatchLevel\0\1\0\0\0\0", 57);

std::vector<brx::PackageEntrySource> CompressedEntries() {
  return {
      {":RegistryKeys", Bytes(kKeys), brx::EntryStorage::kCompressed},
      {":StartupMsg", Bytes(std::string("Update\0Install it?\0\0", 21)),
       brx::EntryStorage::kCompressed},
      {":Folders", Bytes(std::string("data\0\0\0", 7)), brx::EntryStorage::kCompressed},
      {"readme.txt", Bytes("Read me, read me, read me, please read me."),
       brx::EntryStorage::kCompressed},
      {"data\\maps.bin", Bytes(std::string(3000, 'm') + "end"), brx::EntryStorage::kCompressed},
  };
}

std::vector<uint8_t> Package(const std::vector<brx::PackageEntrySource>& entries) {
  std::string error;
  std::vector<uint8_t> package = brx::WritePackage(entries, {}, &error);
  EXPECT_FALSE(package.empty()) << error;
  return package;
}

std::vector<brx::DirectoryEntry> DirectoryOf(const std::vector<uint8_t>& package) {
  brx::Package parsed;
  EXPECT_EQ(brx::ParsePackage({package.data(), static_cast<uint32_t>(package.size())},
                              brx::PackageSource::kPackageFile, &parsed),
            brx::PackageError::kNone);
  std::vector<brx::DirectoryEntry> entries(parsed.directory,
                                           parsed.directory + parsed.entryCount());
  std::free(parsed.directory);
  return entries;
}

// Tests that a clean package verifies with exit code 0.
TEST(PackageVerificationTest, PassesACleanPackage) {
  Workspace workspace;
  workspace.Write("clean.brx", Package(CompressedEntries()));
  const test::ToolRun run = RunTool({"verify", workspace.Text("clean.brx")});
  EXPECT_EQ(run.code, 0) << run.out;
  EXPECT_NE(run.out.find("clean.brx: OK"), std::string::npos) << run.out;
}

// Tests that a flipped byte anywhere in any entry's stored bytes is found and
// reported on a line that names that entry, sections (which the installer's
// reader refuses) and files (which it would install damaged) alike.
TEST(PackageVerificationTest, FindsAFlippedByteInEveryEntry) {
  Workspace workspace;
  const std::vector<uint8_t> package = Package(CompressedEntries());
  const std::vector<brx::DirectoryEntry> directory = DirectoryOf(package);
  for (size_t index = 0; index < directory.size(); ++index) {
    const brx::DirectoryEntry& entry = directory[index];
    const std::string label = "entry " + std::to_string(index + 1) + " \"" + entry.name + "\"";
    for (uint32_t at = entry.offset; at < entry.offset + entry.compressedSize; ++at) {
      std::vector<uint8_t> damaged = package;
      damaged[at] ^= 0xFF;
      workspace.Write("damaged.brx", damaged);
      const test::ToolRun run = RunTool({"verify", workspace.Text("damaged.brx")});
      ASSERT_EQ(run.code, 1) << label << " byte " << at << "\n" << run.out;
      ASSERT_NE(run.out.find("PROBLEM: " + label), std::string::npos)
          << label << " byte " << at << "\n"
          << run.out;
    }
  }
}

// Tests that a package file or a self-applying executable cut short at any
// length is reported as damaged.
TEST(PackageVerificationTest, FindsEveryTruncation) {
  Workspace workspace;
  const std::vector<uint8_t> package = Package(CompressedEntries());
  const std::vector<uint8_t> exe = brx::test::SelfApplying(Bytes("MZ a stub"), package);
  for (const std::vector<uint8_t>* whole : {&package, &exe}) {
    workspace.Write("whole.bin", *whole);
    ASSERT_EQ(RunTool({"verify", workspace.Text("whole.bin")}).code, 0);
    for (size_t length = 0; length < whole->size(); ++length) {
      workspace.Write("cut.bin", std::vector<uint8_t>(whole->begin(), whole->begin() + length));
      const test::ToolRun run = RunTool({"verify", workspace.Text("cut.bin")});
      ASSERT_EQ(run.code, 1) << "length " << length << "\n" << run.out;
    }
  }
}

// Tests that the checks beyond the reader's find their faults: each package
// is accepted by the installer's reader, yet verify names the problem.
TEST(PackageVerificationTest, ReportsWhatTheReaderLetsPass) {
  using brx::EntryStorage;
  const brx::PackageEntrySource keys = {":RegistryKeys", Bytes(kKeys), EntryStorage::kStored};
  struct Case {
    std::vector<brx::PackageEntrySource> entries;
    std::string problem;
  };
  const Case cases[] = {
      {{{"a.txt", Bytes("a"), EntryStorage::kStored}},
       "no :RegistryKeys section: the installer cannot find the program to update"},
      {{keys, {":Folders", Bytes(std::string("data\0more", 9)), EntryStorage::kStored}},
       "entry 2 \":Folders\": is cut short: its closing empty item is missing"},
      {{keys, {":RegistryKeys", Bytes("K"), EntryStorage::kStored}},
       "entry 2 \":RegistryKeys\": repeats the name of entry 1; the installer reads only the "
       "first"},
      {{keys,
        {"A.txt", Bytes("1"), EntryStorage::kStored},
        {"a.TXT", Bytes("2"), EntryStorage::kStored}},
       "entry 3 \"a.TXT\": repeats the name of entry 2; both are installed, the later one wins"},
      {{keys, {"..\\evil.dll", Bytes("x"), EntryStorage::kStored}},
       "entry 2 \"..\\evil.dll\": the installed path climbs out of the target folder"},
      {{keys,
        {":XlatNamesTable", Bytes(std::string("x\0C:\\x\0\0", 8)), EntryStorage::kStored},
        {"x", Bytes("1"), EntryStorage::kStored}},
       "entry 3 \"x\" (installed as \"C:\\x\"): the installed path holds a colon"},
      {{keys, {"empty.txt", {}, EntryStorage::kStored}},
       "entry 2 \"empty.txt\": is empty; the installer fails on a file of 0 bytes"},
      {{{":RegistryKeys", Bytes(std::string("K\0P\0N", 5)), EntryStorage::kStored}},
       "entry 1 \":RegistryKeys\": ends before its program value name"},
      {{keys, {":CommandsToExecute", Bytes(std::string("\3run.exe\0", 9)), EntryStorage::kStored}},
       "entry 2 \":CommandsToExecute\": command 1 is cut short before its arguments end"},
      {{keys,
        {":RegistryTable", Bytes(std::string("\1\0\0\0\1\0\0\0K\0", 10)), EntryStorage::kStored}},
       "entry 2 \":RegistryTable\": value 1 is cut short"},
      {{keys, {":XlatNamesTable", Bytes(std::string("a\0\0", 3)), EntryStorage::kStored}},
       "entry 2 \":XlatNamesTable\": pair 1 has no installed name, which ends the table there"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.problem);
    Workspace workspace;
    workspace.Write("p.brx", Package(c.entries));
    const test::ToolRun run = RunTool({"verify", workspace.Text("p.brx")});
    EXPECT_EQ(run.code, 1) << run.out;
    EXPECT_NE(run.out.find("PROBLEM: " + c.problem), std::string::npos) << run.out;
  }
}

// Tests that an entry whose bytes reach past the package is named even
// though the installer's reader refuses the whole package for it.
TEST(PackageVerificationTest, NamesTheEntryTheReaderRefuses) {
  Workspace workspace;
  // An uncompressed directory, so that an entry's size can be patched.
  brx::PackageWriterOptions stored;
  stored.compressDirectory = false;
  std::string error;
  std::vector<uint8_t> package =
      brx::WritePackage({{":RegistryKeys", Bytes(kKeys), brx::EntryStorage::kStored},
                         {"big.bin", Bytes("0123456789"), brx::EntryStorage::kStored}},
                        stored, &error);
  const uint32_t directory = brx::ReadLe32(package.data() + 20);
  brx::WriteLe32(package.data() + directory + 48 + 36, 100000);
  workspace.Write("p.brx", package);
  const test::ToolRun run = RunTool({"verify", workspace.Text("p.brx")});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.out.find("PROBLEM: the installer's reader refuses it: an entry's stored bytes "
                         "reach past the end of the package"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("PROBLEM: entry 2 \"big.bin\": its 100000 stored bytes at offset"),
            std::string::npos)
      << run.out;
}

}  // namespace
}  // namespace brxpack
