#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "authoring/writer.h"
#include "brxpack/authoring/package_stream_writer.h"
#include "package/format.h"
#include "support/brxpack_workspace.h"

namespace brxpack {
namespace {

using test::Workspace;

std::vector<uint8_t> Random(size_t size, unsigned seed) {
  std::mt19937 generator(seed);
  std::vector<uint8_t> bytes(size);
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(generator());
  return bytes;
}

std::vector<uint8_t> Text(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>("maps and more "[i % 14]);
  return bytes;
}

Result<std::vector<uint8_t>> WriteToFile(const Workspace& workspace,
                                         const std::vector<EntryToWrite>& entries, unsigned threads,
                                         const std::string& stub = "") {
  Result<AtomicOutputFile> output = AtomicOutputFile::Create(workspace.Path("out.brx"));
  if (!output.ok()) return output.TakeError();
  Status status = output->Write(stub.data(), stub.size());
  StreamWriterOptions options;
  options.threads = threads;
  Result<std::vector<WrittenEntry>> written = WritePackageStream(entries, options, *output);
  if (!written.ok()) return written.TakeError();
  status = output->Commit();
  if (!status.ok()) return status.TakeError();
  return workspace.ReadBytes("out.brx");
}

// Tests that the streamed package is byte for byte what the library's own
// writer composes for the same entries and storage, from memory and from
// files, whatever the number of threads.
TEST(PackageStreamWriterTest, MatchesTheLibraryWriter) {
  Workspace workspace;
  const std::vector<uint8_t> maps = Text(300000);
  workspace.Write("maps.bin", maps);
  const std::vector<uint8_t> noise = Random(5000, 1);
  workspace.Write("noise.bin", noise);

  std::vector<EntryToWrite> entries(4);
  entries[0].name = ":Folders";
  entries[0].bytes = {'d', 0, 0, 0};
  entries[1].name = "maps.bin";
  entries[1].fromFile = true;
  entries[1].file = workspace.Path("maps.bin");
  entries[2].name = "noise.bin";
  entries[2].fromFile = true;
  entries[2].file = workspace.Path("noise.bin");
  entries[3].name = "kept.txt";
  entries[3].bytes = Text(1000);
  entries[3].stored = true;

  // Compression that does not shrink (the folder list, the noise) stores.
  std::string error;
  const std::vector<uint8_t> expected =
      brx::WritePackage({{":Folders", entries[0].bytes, brx::EntryStorage::kStored},
                         {"maps.bin", maps, brx::EntryStorage::kCompressed},
                         {"noise.bin", noise, brx::EntryStorage::kStored},
                         {"kept.txt", entries[3].bytes, brx::EntryStorage::kStored}},
                        {}, &error);
  ASSERT_FALSE(expected.empty()) << error;
  for (unsigned threads : {1u, 2u, 3u}) {
    SCOPED_TRACE(threads);
    const Result<std::vector<uint8_t>> written = WriteToFile(workspace, entries, threads);
    ASSERT_TRUE(written.ok()) << written.error();
    EXPECT_EQ(*written, expected);
  }
}

// Tests that many entries come out in their given order (the output does not
// depend on which thread finishes first) and that a package behind a stub
// keeps offsets counted from its own start.
TEST(PackageStreamWriterTest, KeepsOrderAndCountsFromThePackageStart) {
  Workspace workspace;
  std::vector<EntryToWrite> entries;
  std::vector<brx::PackageEntrySource> sources;
  for (int i = 0; i < 60; ++i) {
    EntryToWrite entry;
    entry.name = "file" + std::to_string(i);
    // Sizes that vary a lot make the threads finish out of order; all of
    // them compress, as the library writer compresses every entry.
    entry.bytes = Text(static_cast<size_t>(100 + (i * 7919) % 90000));
    sources.push_back({entry.name, entry.bytes, brx::EntryStorage::kCompressed});
    entries.push_back(std::move(entry));
  }
  std::string error;
  const std::vector<uint8_t> package = brx::WritePackage(sources, {}, &error);
  const std::string stub = "MZ stub bytes";
  const Result<std::vector<uint8_t>> written = WriteToFile(workspace, entries, 2, stub);
  ASSERT_TRUE(written.ok()) << written.error();
  std::vector<uint8_t> expected(stub.begin(), stub.end());
  expected.insert(expected.end(), package.begin(), package.end());
  EXPECT_EQ(*written, expected);
}

// Tests that a failure leaves nothing under the output's name, and that
// names the directory cannot hold are refused before anything is written.
TEST(PackageStreamWriterTest, FailsWithoutLeavingAnOutput) {
  Workspace workspace;
  std::vector<EntryToWrite> missing(2);
  missing[0].name = "a";
  missing[0].bytes = {1};
  missing[1].name = "gone.bin";
  missing[1].fromFile = true;
  missing[1].file = workspace.Path("gone.bin");
  const Result<std::vector<uint8_t>> written = WriteToFile(workspace, missing, 2);
  ASSERT_FALSE(written.ok());
  EXPECT_NE(written.error().find("gone.bin: cannot open"), std::string::npos) << written.error();
  EXPECT_TRUE(workspace.Files().empty());

  std::vector<EntryToWrite> longName(1);
  longName[0].name = std::string(32, 'n');
  EXPECT_FALSE(WriteToFile(workspace, longName, 2).ok());
  EXPECT_FALSE(WriteToFile(workspace, {}, 2).ok());
  EXPECT_TRUE(workspace.Files().empty());
}

}  // namespace
}  // namespace brxpack
