#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include "brxpack/package/package_stream_writer.h"
#include "brxpack/host/interrupt_cleanup.h"
#include "package/entry_lookup.h"
#include "support/brxpack_workspace.h"
#include "support/package_samples.h"

namespace brxpack {
namespace {

using test::Workspace;

std::vector<uint8_t> Text(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>("maps and more "[i % 14]);
  return bytes;
}

// Writes the entries behind `stub` into out.brx and reads the file back.
Result<std::vector<uint8_t>> WriteToFile(const Workspace& workspace,
                                         const std::vector<EntryToWrite>& entries, unsigned threads,
                                         const std::string& stub = "") {
  Result<AtomicOutputFile> output = AtomicOutputFile::Create(workspace.Path("out.brx"));
  if (!output.ok()) return output.TakeError();
  Status status = output->Write(stub.data(), stub.size());
  if (!status.ok()) return status.TakeError();
  StreamWriterOptions options;
  options.threads = threads;
  Result<std::vector<WrittenEntry>> written = WritePackageStream(entries, options, *output);
  if (!written.ok()) return written.TakeError();
  status = output->Commit();
  if (!status.ok()) return status.TakeError();
  return workspace.ReadBytes("out.brx");
}

// Tests that the streamed package is the same whatever the number of
// threads (entries of very different sizes finish out of order yet keep
// theirs), and that the installer's reader takes it, behind a stub with
// offsets counted from the package's start, its digest included, giving
// back every entry, from memory or from a file, in stored blocks when it is
// to be stored.
TEST(PackageStreamWriterTest, WritesWhatTheInstallerReads) {
  Workspace workspace;
  workspace.Write("maps.bin", Text(300000));
  std::vector<EntryToWrite> entries(2);
  entries[0].name = ":Folders";
  entries[0].bytes = {'d', 0, 0, 0};
  entries[1].name = "maps.bin";
  entries[1].fromFile = true;
  entries[1].file = workspace.Path("maps.bin");
  for (int i = 0; i < 30; ++i) {
    EntryToWrite entry;
    entry.name = "file" + std::to_string(i);
    entry.bytes = Text(static_cast<size_t>(100 + (i * 7919) % 90000));
    entry.stored = i % 7 == 0;
    entries.push_back(std::move(entry));
  }
  const std::string stub = "MZ stub bytes";
  const Result<std::vector<uint8_t>> written = WriteToFile(workspace, entries, 1, stub);
  ASSERT_TRUE(written.ok()) << written.error();
  const Result<std::vector<uint8_t>> threaded = WriteToFile(workspace, entries, 3, stub);
  ASSERT_TRUE(threaded.ok()) << threaded.error();
  EXPECT_EQ(*threaded, *written);
  const std::vector<uint8_t> package(written->begin() + stub.size(), written->end());
  const brx::test::ParsedPackage parsed(package);
  ASSERT_EQ(parsed.error, brx::PackageError::kNone);
  ASSERT_EQ(parsed.package.entryCount(), entries.size() + 1);
  for (size_t i = 0; i < entries.size(); ++i) {
    const brx::DirectoryEntry& entry = parsed.package.directory[i];
    const std::vector<uint8_t> content = i == 1 ? Text(300000) : entries[i].bytes;
    std::vector<uint8_t> produced(entry.size);
    EXPECT_TRUE(brx::ExtractEntry(parsed.package, entry, produced.data())) << entry.name;
    EXPECT_EQ(produced, content) << entry.name;
    // Stored blocks make a stream longer than its bytes; :Folders' four do not shrink.
    EXPECT_EQ(entry.compressedSize > entry.size, entries[i].stored || i == 0) << entry.name;
  }
}

// Tests that a failure leaves nothing under the output's name, naming the
// file (one gone, or one that changed size since the payload was listed,
// as a file still being written does), and that names the directory cannot
// hold are refused before anything is written.
TEST(PackageStreamWriterTest, FailsWithoutLeavingAnOutput) {
  struct Case {
    std::string content;  // of payload.bin; empty: no such file
    uint64_t listedSize;
    std::string error;
  };
  const Case cases[] = {
      {"", 3, "payload.bin: cannot open"},
      {"shrunk", 100000, "payload.bin: changed while being read (100000 bytes when listed, 6"},
      {"grown", 2, "payload.bin: changed while being read (2 bytes when listed, 5"},
  };
  for (const Case& c : cases) {
    Workspace workspace;
    if (!c.content.empty()) workspace.Write("payload.bin", c.content);
    std::vector<EntryToWrite> entries(2);
    entries[0].name = "a";
    entries[0].bytes = {1};
    entries[1].name = "payload.bin";
    entries[1].fromFile = true;
    entries[1].file = workspace.Path("payload.bin");
    entries[1].listedSize = c.listedSize;
    const Result<std::vector<uint8_t>> written = WriteToFile(workspace, entries, 2);
    ASSERT_FALSE(written.ok());
    EXPECT_NE(written.error().find(c.error), std::string::npos) << written.error();
    EXPECT_FALSE(workspace.Exists("out.brx"));
    EXPECT_EQ(workspace.Files().size(), c.content.empty() ? 0u : 1u) << "a temporary file left";
  }
  Workspace workspace;
  std::vector<EntryToWrite> longName(1);
  longName[0].name = std::string(32, 'n');
  EXPECT_FALSE(WriteToFile(workspace, longName, 2).ok());
  EXPECT_FALSE(WriteToFile(workspace, {}, 2).ok());
  EXPECT_TRUE(workspace.Files().empty());
}

// Tests that an interruption (Ctrl-C, or a termination request) while
// outputs are being written removes their temporary files before the
// process ends as the signal would end it.
TEST(PackageStreamWriterTest, InterruptionLeavesNoTemporaryFile) {
  Workspace workspace;
  for (const int signal : {SIGINT, SIGTERM}) {
    EXPECT_EXIT(
        {
          RemoveTemporariesOnInterrupt();
          Result<AtomicOutputFile> first = AtomicOutputFile::Create(workspace.Path("a.brx"));
          Result<AtomicOutputFile> second = AtomicOutputFile::Create(workspace.Path("b.exe"));
          if (!first.ok() || !second.ok() || !first->Write("partial", 7).ok()) std::_Exit(3);
          raise(signal);
        },
        testing::KilledBySignal(signal), "");
    EXPECT_TRUE(workspace.Files().empty()) << workspace.Files().size() << " files left";
  }
}

}  // namespace
}  // namespace brxpack
