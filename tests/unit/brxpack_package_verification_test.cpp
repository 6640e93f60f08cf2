#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "package/format.h"
#include "package/reader.h"
#include "support/brxpack_workspace.h"
#include "support/pe_samples.h"

namespace brxpack {
namespace {

using namespace std::string_literals;
using brx::EntryStorage;
using test::Bytes;
using test::RunTool;
using test::Workspace;

const std::string kKeys = "SOFTWARE\\Pub\\App\0ProgramPath\0ProgramName\0PatchLevel\0\1\0\0\0\0"s;

std::vector<uint8_t> CleanPackage() {
  return test::PackageOf({
      {":RegistryKeys", Bytes(kKeys), EntryStorage::kCompressed},
      {":StartupMsg", Bytes("Update\0Install it?\0\0"s), EntryStorage::kCompressed},
      {":Folders", Bytes("data\0\0\0"s), EntryStorage::kCompressed},
      {"readme.txt", Bytes("Read me, read me, read me, please read me."),
       EntryStorage::kCompressed},
      {"data\\maps.bin", Bytes(std::string(3000, 'm') + "end"), EntryStorage::kCompressed},
  });
}

// Tests that a clean package verifies, and that a flipped byte anywhere in
// any entry's stored bytes is reported on a line naming that entry, sections
// (which the installer's reader refuses) and files (which it would install
// damaged) alike.
TEST(PackageVerificationTest, FindsAFlippedByteInEveryEntry) {
  Workspace workspace;
  const std::vector<uint8_t> package = CleanPackage();
  workspace.Write("clean.brx", package);
  const test::ToolRun clean = RunTool({"verify", workspace.Text("clean.brx")});
  EXPECT_EQ(clean.code, 0) << clean.out;
  EXPECT_NE(clean.out.find("clean.brx: OK"), std::string::npos) << clean.out;

  brx::Package parsed;
  ASSERT_EQ(brx::ParsePackage({package.data(), static_cast<uint32_t>(package.size())},
                              brx::PackageSource::kPackageFile, &parsed),
            brx::PackageError::kNone);
  const std::vector<brx::DirectoryEntry> directory(parsed.directory,
                                                   parsed.directory + parsed.entryCount());
  std::free(parsed.directory);
  for (size_t index = 0; index < directory.size(); ++index) {
    const brx::DirectoryEntry& entry = directory[index];
    const std::string label = "PROBLEM: entry " + std::to_string(index + 1) + " \"" + entry.name;
    for (uint32_t at = entry.offset; at < entry.offset + entry.compressedSize; ++at) {
      std::vector<uint8_t> damaged = package;
      damaged[at] ^= 0xFF;
      workspace.Write("damaged.brx", damaged);
      const test::ToolRun run = RunTool({"verify", workspace.Text("damaged.brx")});
      ASSERT_EQ(run.code, 1) << label << " byte " << at << "\n" << run.out;
      ASSERT_NE(run.out.find(label), std::string::npos) << label << " byte " << at << run.out;
    }
  }
}

// Tests that a package file or a self-applying executable cut short at any
// length is reported as damaged.
TEST(PackageVerificationTest, FindsEveryTruncation) {
  Workspace workspace;
  const std::vector<uint8_t> package = CleanPackage();
  const std::vector<uint8_t> exe = brx::test::SelfApplying(Bytes("MZ a stub"), package);
  for (const std::vector<uint8_t>* whole : {&package, &exe}) {
    workspace.Write("whole.bin", *whole);
    ASSERT_EQ(RunTool({"verify", workspace.Text("whole.bin")}).code, 0);
    for (size_t length = 0; length < whole->size(); ++length) {
      workspace.Write("cut.bin", std::vector<uint8_t>(whole->begin(), whole->begin() + length));
      ASSERT_EQ(RunTool({"verify", workspace.Text("cut.bin")}).code, 1) << "length " << length;
    }
  }
}

// Tests that the checks beyond the reader's find their faults: the reader
// accepts each package (but the last, whose damaged entry it does not name),
// yet verify names each problem on a line of its own.
TEST(PackageVerificationTest, ReportsWhatTheReaderLetsPass) {
  const brx::PackageEntrySource keys = {":RegistryKeys", Bytes(kKeys), EntryStorage::kStored};
  // An uncompressed directory whose second entry's size is patched to
  // reach past the package.
  brx::PackageWriterOptions storedDirectory;
  storedDirectory.compressDirectory = false;
  std::vector<uint8_t> tooLong = test::PackageOf(
      {keys, {"big.bin", Bytes("0123456789"), EntryStorage::kStored}}, storedDirectory);
  brx::WriteLe32(tooLong.data() + brx::ReadLe32(tooLong.data() + 20) + 48 + 36, 100000);
  struct Case {
    std::vector<uint8_t> package;
    std::string problem;
  };
  const auto of = [](const std::vector<brx::PackageEntrySource>& entries) {
    return test::PackageOf(entries);
  };
  const Case cases[] = {
      {of({{"a.txt", Bytes("a"), EntryStorage::kStored}}),
       "no :RegistryKeys section: the installer cannot find the program to update"},
      {of({keys, {":Folders", Bytes("data\0more"s), EntryStorage::kStored}}),
       "entry 2 \":Folders\": is cut short: its closing empty item is missing"},
      {of({keys, {":RegistryKeys", Bytes("K"), EntryStorage::kStored}}),
       "entry 2 \":RegistryKeys\": repeats the name of entry 1; the installer reads only the "
       "first"},
      {of({keys,
           {"A.txt", Bytes("1"), EntryStorage::kStored},
           {"a.TXT", Bytes("2"), EntryStorage::kStored}}),
       "entry 3 \"a.TXT\": repeats the name of entry 2; both are installed, the later one wins"},
      {of({keys,
           {":XlatNamesTable", Bytes("x\0C:\\x\0\0"s), EntryStorage::kStored},
           {"x", Bytes("1"), EntryStorage::kStored}}),
       "entry 3 \"x\" (installed as \"C:\\x\"): the installed path holds a colon"},
      {of({keys, {"empty.txt", {}, EntryStorage::kStored}}),
       "entry 2 \"empty.txt\": is empty; the installer fails on a file of 0 bytes"},
      {of({{":RegistryKeys", Bytes("K\0P\0N"s), EntryStorage::kStored}}),
       "entry 1 \":RegistryKeys\": ends before its program value name"},
      {of({keys, {":CommandsToExecute", Bytes("\3run.exe\0"s), EntryStorage::kStored}}),
       "entry 2 \":CommandsToExecute\": command 1 is cut short before its arguments end"},
      {of({keys, {":RegistryTable", Bytes("\1\0\0\0\1\0\0\0K\0"s), EntryStorage::kStored}}),
       "entry 2 \":RegistryTable\": value 1 is cut short"},
      {of({keys, {":XlatNamesTable", Bytes("a\0\0"s), EntryStorage::kStored}}),
       "entry 2 \":XlatNamesTable\": pair 1 has no installed name, which ends the table there"},
      {tooLong,
       "the installer's reader refuses it: an entry's stored bytes reach past the end of the "
       "package\nentry 2 \"big.bin\": its 100000 stored bytes at offset"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.problem);
    Workspace workspace;
    workspace.Write("clean.brx", c.package);
    const test::ToolRun run = RunTool({"verify", workspace.Text("clean.brx")});
    EXPECT_EQ(run.code, 1) << run.out;
    std::istringstream problems(c.problem);
    for (std::string line; std::getline(problems, line);) {
      EXPECT_NE(run.out.find("clean.brx: PROBLEM: " + line), std::string::npos) << run.out;
    }
  }
}

}  // namespace
}  // namespace brxpack
