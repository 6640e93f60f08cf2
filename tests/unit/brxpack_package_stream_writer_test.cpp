#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "brxpack/package/package_stream_writer.h"
#include "brxpack/host/interrupt_cleanup.h"
#include "brxpack/package/zlib_compressor.h"
#include "package/entry_lookup.h"
#include "support/brxpack_workspace.h"
#include "support/heap_watch.h"
#include "support/package_samples.h"

namespace brxpack {
namespace {

using test::Workspace;

std::vector<uint8_t> Text(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>("maps and more "[i % 14]);
  return bytes;
}

std::vector<uint8_t> Noise(size_t size) {
  std::mt19937_64 generator(15);
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; i += 8) {
    const uint64_t word = generator();
    std::memcpy(bytes.data() + i, &word, std::min<size_t>(8, size - i));
  }
  return bytes;
}

EntryToWrite FileEntry(const Workspace& workspace, const std::string& name,
                       const std::vector<uint8_t>& content) {
  std::ofstream(workspace.Path(name), std::ios::binary)
      .write(reinterpret_cast<const char*>(content.data()),
             static_cast<std::streamsize>(content.size()));
  EntryToWrite entry;
  entry.name = name;
  entry.fromFile = true;
  entry.file = workspace.Path(name);
  entry.listedSize = content.size();
  return entry;
}

// Writes the entries behind `stub` into out.brx and reads the file back.
Result<std::vector<uint8_t>> WriteToFile(const Workspace& workspace,
                                         const std::vector<EntryToWrite>& entries, unsigned threads,
                                         const std::string& stub = "",
                                         uint64_t wholeEntryLimit = kWholeEntryLimit,
                                         ProgressMeter* progress = nullptr) {
  Result<AtomicOutputFile> output = AtomicOutputFile::Create(workspace.Path("out.brx"));
  if (!output.ok()) return output.TakeError();
  Status status = output->Write(stub.data(), stub.size());
  if (!status.ok()) return status.TakeError();
  StreamWriterOptions options;
  options.threads = threads;
  options.wholeEntryLimit = wholeEntryLimit;
  options.progress = progress;
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

// Tests that a file above the whole-entry limit is written piece by piece
// into a package the installer's reader accepts, its digest included, and
// whose entries inflate to the files, the same bytes whatever the number of
// threads; that a file exactly at the limit is written whole, as before;
// that noise and a stored entry take the stored form's bytes; and that
// progress advances with every piece.
TEST(PackageStreamWriterTest, WritesLargeFilesPieceByPiece) {
  constexpr uint64_t kLimit = 2 * kPieceSize;
  Workspace workspace;
  const std::vector<std::vector<uint8_t>> contents = {{'d', 0, 0, 0},
                                                      Text(kLimit),
                                                      Text(kLimit + 1),
                                                      Noise(kLimit + kPieceSize / 2),
                                                      Text(kLimit + 10)};
  std::vector<EntryToWrite> entries(1);
  entries[0].name = ":Folders";
  entries[0].bytes = contents[0];
  entries.push_back(FileEntry(workspace, "at.bin", contents[1]));
  entries.push_back(FileEntry(workspace, "above.bin", contents[2]));
  entries.push_back(FileEntry(workspace, "noise.bin", contents[3]));
  entries.push_back(FileEntry(workspace, "kept.bin", contents[4]));
  entries.back().stored = true;
  uint64_t total = 0;
  for (size_t i = 1; i < contents.size(); ++i) total += contents[i].size();
  std::ostringstream terminal;
  ProgressMeter meter({&terminal, "building"}, total);
  const Result<std::vector<uint8_t>> package =
      WriteToFile(workspace, entries, 1, "", kLimit, &meter);
  ASSERT_TRUE(package.ok()) << package.error();
  const Result<std::vector<uint8_t>> again = WriteToFile(workspace, entries, 3, "", kLimit);
  ASSERT_TRUE(again.ok()) << again.error();
  EXPECT_EQ(*again, *package);
  // A line for the whole file and each of 9 pieces, where whole entries
  // would draw one each.
  const std::string drawn = terminal.str();
  EXPECT_GE(std::count(drawn.begin(), drawn.end(), '\r'), 10) << drawn;

  const brx::test::ParsedPackage parsed(*package);
  ASSERT_EQ(parsed.error, brx::PackageError::kNone);
  ZlibCompressor compressor(Compression{});
  for (size_t i = 0; i < contents.size(); ++i) {
    const brx::DirectoryEntry& entry = parsed.package.directory[i];
    const brx::MemoryRange range = parsed.package.StoredBytes(entry);
    const std::vector<uint8_t> stored(range.data, range.data + range.size);
    std::vector<uint8_t> content(entry.size);
    EXPECT_TRUE(brx::ExtractEntry(parsed.package, entry, content.data())) << entry.name;
    EXPECT_EQ(content, contents[i]) << entry.name;
    if (i == 1) {
      EXPECT_EQ(stored, compressor.CompressOrStore(content.data(), content.size()));
    } else if (i == 3) {
      EXPECT_EQ(stored.size(), StoredStreamSize(content.size()));
    } else if (i == 4) {
      EXPECT_EQ(stored, compressor.Store(content.data(), content.size()));
    }
  }
}

// Tests that a file several times the whole-entry limit is written with
// the memory of a few pieces: no block of two pieces' size, and a peak far
// under the file's size, which holding it whole took three times.
TEST(PackageStreamWriterTest, LargeFileTakesAFewPiecesOfMemory) {
  Workspace workspace;
  const std::vector<EntryToWrite> entries = {
      FileEntry(workspace, "large.bin", Noise(2 * kWholeEntryLimit + kPieceSize / 2))};
  Result<AtomicOutputFile> output = AtomicOutputFile::Create(workspace.Path("out.brx"));
  ASSERT_TRUE(output.ok()) << output.error();
  StreamWriterOptions options;
  options.compression.level = 1;
  size_t peak = 0;
  size_t largest = 0;
  {
    brx::test::HeapWatch heap;
    const Result<std::vector<WrittenEntry>> written = WritePackageStream(entries, options, *output);
    peak = heap.peakGrowth();
    largest = heap.largestBlock();
    ASSERT_TRUE(written.ok()) << written.error();
  }
  EXPECT_LT(largest, 2 * kPieceSize);
  // About 7 MiB measured: the documented bound for one large file
  // (package_stream_writer.h).
  EXPECT_LT(peak, 10u << 20);
}

// Tests that a failure leaves nothing under the output's name, naming the
// file (one gone, or one that changed size since the payload was listed,
// as a file still being written does), whether it is read whole or piece by
// piece, and that names the directory cannot hold are refused before
// anything is written.
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
    for (const uint64_t wholeEntryLimit : {kWholeEntryLimit, uint64_t{1}}) {
      Workspace workspace;
      if (!c.content.empty()) workspace.Write("payload.bin", c.content);
      std::vector<EntryToWrite> entries(2);
      entries[0].name = "a";
      entries[0].bytes = {1};
      entries[1].name = "payload.bin";
      entries[1].fromFile = true;
      entries[1].file = workspace.Path("payload.bin");
      entries[1].listedSize = c.listedSize;
      const Result<std::vector<uint8_t>> written =
          WriteToFile(workspace, entries, 2, "", wholeEntryLimit);
      ASSERT_FALSE(written.ok());
      EXPECT_NE(written.error().find(c.error), std::string::npos) << written.error();
      EXPECT_FALSE(workspace.Exists("out.brx"));
      EXPECT_EQ(workspace.Files().size(), c.content.empty() ? 0u : 1u) << "a temporary file left";
    }
  }
  Workspace workspace;
  std::vector<EntryToWrite> longName(1);
  longName[0].name = std::string(32, 'n');
  EXPECT_FALSE(WriteToFile(workspace, longName, 2).ok());
  EXPECT_FALSE(WriteToFile(workspace, {}, 2).ok());
  EXPECT_TRUE(workspace.Files().empty());
  // One byte is a whole write too.
  ASSERT_TRUE(WriteOutputFile(workspace.Path("one"), "x", 1).ok());
  EXPECT_EQ(workspace.Read("one"), "x");
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
  // A name that would not fit its slot with the ending NUL is not taken.
  const int longest = RegisterTemporary(std::string(4095, 'n'));
  EXPECT_GE(longest, 0);
  ReleaseTemporary(longest);
  EXPECT_EQ(RegisterTemporary(std::string(4096, 'n')), -1);
}

}  // namespace
}  // namespace brxpack
