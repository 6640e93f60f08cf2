#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "package/format.h"
#include "package/reader.h"
#include "package/section_names.h"
#include "support/brxpack_workspace.h"
#include "support/pe_samples.h"

namespace brxpack {
namespace {

using namespace std::string_literals;
using test::Bytes;
using test::EntryStorage;
using test::RunTool;
using test::Workspace;

const std::string kKeysPayload =
    "SOFTWARE\\Pub\\App\0ProgramPath\0ProgramName\0PatchLevel\0\1\0\0\0\0"s;

std::vector<uint8_t> CleanPackage() {
  return test::PackageOf({
      {":RegistryKeys", Bytes(kKeysPayload), EntryStorage::kCompressed},
      {":StartupMsg", Bytes("Update\0Install it?\0\0"s), EntryStorage::kCompressed},
      {":Folders", Bytes("data\0\0\0"s), EntryStorage::kCompressed},
      {"readme.txt", Bytes("Read me, read me, read me, please read me."),
       EntryStorage::kCompressed},
      {"data\\maps.bin", Bytes(std::string(3000, 'm') + "end"), EntryStorage::kCompressed},
  });
}

// Tests that every byte a build writes is under a checksum: a flipped byte
// anywhere in any entry's stored bytes (sections, a file that compresses, a
// file that does not and an empty one alike, the digest itself) or in the
// directory is reported, naming the entry, and the installer's reader
// refuses the whole package.
TEST(PackageVerificationTest, FindsAFlippedByteInEveryEntry) {
  Workspace workspace;
  std::string noise(700, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 2654435761u) >> 13);
  workspace.Write("payload/noise.bin", noise);
  workspace.Write("payload/text.txt", std::string(2000, 't'));
  workspace.Write("payload/empty.txt", "");
  workspace.Write("brxpack.toml",
                  "[target]\nregistry_key = 'K'\npatch_level = 1\n[payload]\nfolder = 'payload'\n"
                  "[remove]\npaths = ['ledger31.hlp']\n[folders]\ncreate = ['data']\n");
  ASSERT_EQ(RunTool({"build", workspace.Text("brxpack.toml"), "-o", workspace.Text("p.brx")}).code,
            0);
  const std::vector<uint8_t> package = workspace.ReadBytes("p.brx");
  const test::ToolRun clean = RunTool({"verify", workspace.Text("p.brx")});
  ASSERT_EQ(clean.code, 0) << clean.out;

  brx::Package parsed;
  ASSERT_EQ(brx::ParsePackage({package.data(), static_cast<uint32_t>(package.size())},
                              brx::PackageSource::kPackageFile, &parsed),
            brx::PackageError::kNone);
  std::vector<std::pair<std::string, std::pair<uint32_t, uint32_t>>> ranges;
  const std::string refused = "PROBLEM: the installer's reader refuses it: ";
  for (uint32_t i = 0; i < parsed.entryCount(); ++i) {
    const brx::DirectoryEntry& entry = parsed.directory[i];
    // The digest, last, is stored raw: it is the checksum of all the rest.
    const bool digest = i + 1 == parsed.entryCount();
    EXPECT_EQ(entry.IsCompressed(), !digest) << entry.name;
    EXPECT_EQ(brx::ClassifySection(entry.name) == brx::SectionKind::kDigest, digest);
    ranges.push_back({digest ? refused + "its stored bytes differ from the package digest"
                             : "PROBLEM: entry " + std::to_string(i + 1) + " \"" + entry.name,
                      {entry.offset, entry.offset + entry.StoredSize()}});
  }
  ranges.push_back({"PROBLEM: the installer's reader refuses it: the compressed directory",
                    {parsed.header.directoryOffset,
                     parsed.header.directoryOffset + parsed.header.directoryCompressedSize}});
  std::free(parsed.directory);
  for (const auto& [label, range] : ranges) {
    for (uint32_t at = range.first; at < range.second; ++at) {
      std::vector<uint8_t> damaged = package;
      damaged[at] ^= 0xFF;
      workspace.Write("damaged.brx", damaged);
      const test::ToolRun run = RunTool({"verify", workspace.Text("damaged.brx")});
      ASSERT_EQ(run.code, 1) << label << " byte " << at << "\n" << run.out;
      ASSERT_NE(run.out.find(label), std::string::npos) << label << " byte " << at << run.out;
      ASSERT_NE(run.out.find(refused), std::string::npos) << label << " byte " << at << run.out;
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
  const test::PackageEntrySource keys = {":RegistryKeys", Bytes(kKeysPayload),
                                         EntryStorage::kStored};
  // An uncompressed directory whose second entry's size is patched to
  // reach past the package.
  std::vector<uint8_t> tooLong =
      brx::test::WriteTestPackage({keys, {"big.bin", Bytes("0123456789"), EntryStorage::kStored}});
  brx::WriteLe32(tooLong.data() + brx::ReadLe32(tooLong.data() + 20) + 48 + 36, 100000);
  // A compressed entry whose size is patched past what its stream can give.
  std::vector<uint8_t> claims = brx::test::WriteTestPackage(
      {keys, {"big.bin", Bytes(std::string(50, 'b')), EntryStorage::kCompressed}});
  brx::WriteLe32(claims.data() + brx::ReadLe32(claims.data() + 20) + 48 + 36, 100000);
  std::vector<uint8_t> badMagic = test::PackageOf({keys});
  badMagic[3] = 'N';
  struct Case {
    std::vector<uint8_t> package;
    std::string problem;
  };
  const auto of = [](const std::vector<test::PackageEntrySource>& entries) {
    return test::PackageOf(entries);
  };
  const auto with = [&](const char* section, const std::string& bytes) {  // behind the keys
    return of({keys, {section, Bytes(bytes), EntryStorage::kStored}});
  };
  const Case cases[] = {
      {of({{"a.txt", Bytes("a"), EntryStorage::kStored}}),
       "no :RegistryKeys section: the installer cannot find the program to update"},
      {with(":Folders", "data\0more"s),
       "entry 2 \":Folders\": is cut short: its closing empty item is missing"},
      {with(":RegistryKeys", "K"),
       "entry 2 \":RegistryKeys\": repeats the name of entry 1; the installer reads only the "
       "first"},
      {with(":Folders", "data\0..\\outside\0\0"s),
       "entry 2 \":Folders\": item 2 \"..\\outside\" climbs out of the program's folder with "
       "\"..\""},
      {with(":FilesToRemove", "ledger31.hlp\0le\nger31.hlp\0\0"s),
       "entry 2 \":FilesToRemove\": item 2 \"le<U+000A>ger31.hlp\" holds a control character "
       "(U+000A)"},
      {with(":CommandsToExecute", "\3C:\\x.exe\0\0\1x.exe\0\0\0\0"s),
       "entry 2 \":CommandsToExecute\": command 1: its program \"C:\\x.exe\" holds a colon\n"
       "entry 2 \":CommandsToExecute\": command 2: its program \"x.exe\" is not an absolute "
       "path"},
      {with(":RegistryTable", "\1\0\0\0\1\0\0\0K\tx\0\2\0\0\0N\0D\0\0\0\0\0"s),
       "entry 2 \":RegistryTable\": value 1: its key holds a control character (U+0009)"},
      {of({{":RegistryKeys", Bytes("K\0P\0N"s), EntryStorage::kStored}}),
       "entry 1 \":RegistryKeys\": ends before its program value name"},
      {with(":CommandsToExecute", "\3run.exe\0"s),
       "entry 2 \":CommandsToExecute\": command 1 is cut short before its arguments end"},
      {with(":RegistryTable", "\1\0\0\0\1\0\0\0K\0"s),
       "entry 2 \":RegistryTable\": value 1 is cut short"},
      {with(":XlatNamesTable", "a\0\0"s),
       "entry 2 \":XlatNamesTable\": pair 1 has no installed name, which ends the table there"},
      {of({keys,
           {":XlatNamesTable", Bytes("x\0y\0a.txt\0b"s), EntryStorage::kStored},
           {"A.TXT", Bytes("a"), EntryStorage::kStored}}),
       "entry 3 \"A.TXT\": has no installed name: the pair the name table's end cuts short may "
       "name it, so the installer fails it"},
      {tooLong,
       "the installer's reader refuses it: an entry's stored bytes reach past the end of the "
       "package\nentry 2 \"big.bin\": its 100000 stored bytes at offset"},
      {claims, "entry 2 \"big.bin\": claims 100000 bytes, more than its"},
      {badMagic,
       "the installer's reader refuses it: the package header's magic is damaged: the file "
       "begins \"BriNdlex data  \\x1A\", not \"Brindlex data  \\x1A\""},
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

// Tests that verify and extract judge installed paths alike: each package
// that verify calls damaged for an installed path (a file name twice is no
// repeated section), extract refuses whole with the same words and the same
// exit code, writing nothing; a clean one (raw stored entries from another
// writer, which verify calls unprotected) passes both.
TEST(PackageVerificationTest, VerifyAndExtractAgreeOnInstalledPaths) {
  const test::PackageEntrySource keys = {":RegistryKeys", Bytes(kKeysPayload),
                                         EntryStorage::kStored};
  const auto file = [](const std::string& name) {
    return test::PackageEntrySource{name, Bytes("bytes"), EntryStorage::kStored};
  };
  const auto table = [](const std::string& pairs) {
    return test::PackageEntrySource{":XlatNamesTable", Bytes(pairs), EntryStorage::kCompressed};
  };
  struct Case {
    std::vector<test::PackageEntrySource> entries;
    std::string problem;  // "entry N \"name\": ..." as verify words it; empty: clean
  };
  const Case cases[] = {
      {{keys, file("data\\a.txt"), file("b.txt")}, ""},
      {{keys, file("..\\evil.dll")},
       "entry 2 \"..\\evil.dll\": installed as \"..\\evil.dll\", which climbs out"},
      {{keys, file("C:\\evil.dll")},
       "entry 2 \"C:\\evil.dll\": installed as \"C:\\evil.dll\", which holds a colon"},
      {{keys, file("\\evil.dll")},
       "entry 2 \"\\evil.dll\": installed as \"\\evil.dll\", which is absolute"},
      {{keys, file("new\nline.txt")},
       "entry 2 \"new<U+000A>line.txt\": installed as \"new<U+000A>line.txt\", which holds a "
       "control"},
      {{keys, file("CON.txt")},
       "entry 2 \"CON.txt\": installed as \"CON.txt\", which has the component 'CON.txt', a "
       "Windows device"},
      {{keys, file("x\\aux")},
       "entry 2 \"x\\aux\": installed as \"x\\aux\", which has the component 'aux', a Windows "
       "device"},
      {{keys, file("nul.dll")},
       "entry 2 \"nul.dll\": installed as \"nul.dll\", which has the component 'nul.dll', a "
       "Windows device"},
      {{keys, file("end.")},
       "entry 2 \"end.\": installed as \"end.\", which has the component 'end.', ending in a dot"},
      {{keys, file("end ")},
       "entry 2 \"end \": installed as \"end \", which has the component 'end ', ending in a dot "
       "or a space"},
      {{keys, file(".")},
       "entry 2 \".\": installed as \".\", which has the component '.', ending in a dot"},
      {{keys, file("docs\\")},
       "entry 2 \"docs\\\": installed as \"docs\\\", which ends in a separator"},
      {{keys, file("same.txt"), file("SAME.TXT")},
       "entry 3 \"SAME.TXT\": installed as \"SAME.TXT\", the path of entry 2; the installer "
       "writes both and the later one wins"},
      {{keys, file("\xEA\xE0\xF0\xF2\xE0"), file("\xCA\xC0\xD0\xD2\xC0")},
       "entry 3 \"КАРТА\": installed as \"КАРТА\", the path of entry 2"},
      {{keys, table("a\0b\\c\0\0"s), file("a"), file("B\\\\C")},
       "entry 4 \"B\\\\C\": installed as \"B\\\\C\", the path of entry 3"},
      {{keys, file("x/y.txt")},
       "entry 2 \"x/y.txt\": installed as \"x/y.txt\", which holds '/', which the installer "
       "does not take as a separator"},
      {{keys, table("gone\0\0"s), file("gone")},
       "entry 3 \"gone\": installed as \"\", which is empty"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.problem);
    Workspace workspace;
    workspace.Write("p.brx", test::PackageOf(c.entries));
    const test::ToolRun verify = RunTool({"verify", workspace.Text("p.brx")});
    const test::ToolRun extract =
        RunTool({"extract", workspace.Text("p.brx"), "-C", workspace.Text("out")});
    EXPECT_EQ(verify.code, c.problem.empty() ? 0 : 1) << verify.out;
    EXPECT_EQ(extract.code, verify.code) << extract.err;
    if (c.problem.empty()) {
      EXPECT_NE(verify.out.find("entries are stored raw, without a zlib stream: unprotected"),
                std::string::npos)
          << verify.out;
      continue;
    }
    EXPECT_NE(verify.out.find("p.brx: PROBLEM: " + c.problem), std::string::npos) << verify.out;
    EXPECT_EQ(verify.out.find("repeats the name"), std::string::npos) << verify.out;
    const std::string label = c.problem.substr(0, c.problem.find(' ', 6));  // "entry N"
    const std::string words = "entry" + c.problem.substr(label.size());
    EXPECT_NE(extract.err.find("brxpack: " + workspace.Text("p.brx") + ": " + words),
              std::string::npos)
        << extract.err;
    EXPECT_EQ(workspace.Files(), std::vector<std::string>{"p.brx"});
  }
}

}  // namespace
}  // namespace brxpack
