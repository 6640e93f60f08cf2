#include "brxpack/authoring/package_stream_writer.h"

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <thread>

#include "authoring/writer.h"
#include "brxpack/contents/windows1251.h"
#include "brxpack/host/host_path.h"
#include "brxpack/host/mapped_file.h"
#include "package/format.h"

namespace brxpack {

namespace {

// One entry made ready by a worker: either its compressed bytes, or the
// bytes to store as they are (in memory or in a mapped file).
struct ReadyEntry {
  bool ready = false;
  std::optional<std::string> error;
  MappedFile mapping;
  std::vector<uint8_t> compressed;
  const uint8_t* content = nullptr;
  uint64_t size = 0;
  bool isCompressed = false;
};

class ParallelWriter {
 public:
  ParallelWriter(const std::vector<EntryToWrite>& entries, const StreamWriterOptions& options)
      : entries_(entries), options_(options), slots_(entries.size()) {}

  Result<std::vector<WrittenEntry>> Run(AtomicOutputFile& output) {
    const unsigned threads = options_.threads == 0 ? 1 : options_.threads;
    // A few entries beyond the threads keep every thread busy while the
    // writer catches up; more would only hold memory.
    window_ = threads + 2;
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < threads; ++i) workers.emplace_back([this] { Work(); });
    Result<std::vector<WrittenEntry>> result = WriteAll(output);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers) worker.join();
    return result;
  }

 private:
  void Work() {
    for (;;) {
      size_t index = 0;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] {
          return stop_ || nextClaim_ >= entries_.size() || nextClaim_ < nextWrite_ + window_;
        });
        if (stop_ || nextClaim_ >= entries_.size()) return;
        index = nextClaim_++;
      }
      ReadyEntry ready = Prepare(entries_[index]);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        slots_[index] = std::move(ready);
        slots_[index].ready = true;
      }
      changed_.notify_all();
    }
  }

  ReadyEntry Prepare(const EntryToWrite& entry) {
    ReadyEntry ready;
    try {
      if (entry.fromFile) {
        Result<MappedFile> mapping = MappedFile::Open(entry.file);
        if (!mapping.ok()) {
          ready.error = mapping.error();
          return ready;
        }
        ready.mapping = std::move(*mapping);
        ready.content = ready.mapping.data();
        ready.size = ready.mapping.size();
      } else {
        ready.content = entry.bytes.data();
        ready.size = entry.bytes.size();
      }
      if (ready.size > UINT32_MAX) {
        ready.error = Describe(entry) + " is 4 GiB or larger; entries hold 32-bit sizes";
        return ready;
      }
      if (!entry.stored && ready.size != 0) {
        std::vector<uint8_t> compressed =
            brx::CompressZlib(ready.content, ready.size, options_.level);
        if (compressed.empty()) {
          ready.error = Describe(entry) + ": zlib could not compress it";
          return ready;
        }
        if (compressed.size() < ready.size) {
          ready.compressed = std::move(compressed);
          ready.isCompressed = true;
        }
      }
    } catch (const std::bad_alloc&) {
      ready.error = Describe(entry) + ": out of memory";
    }
    return ready;
  }

  static std::string Describe(const EntryToWrite& entry) {
    return entry.fromFile ? Utf8FromPath(entry.file) : "section " + Windows1251ToUtf8(entry.name);
  }

  Result<std::vector<WrittenEntry>> WriteAll(AtomicOutputFile& output) {
    start_ = output.written();
    const uint8_t placeholder[brx::kHeaderSize] = {};
    Status status = output.Write(placeholder, sizeof placeholder);
    if (!status.ok()) return status.TakeError();
    std::vector<uint8_t> directory(entries_.size() * brx::kDirectoryEntrySize);
    std::vector<WrittenEntry> written;
    uint64_t offset = brx::kHeaderSize;

    for (size_t index = 0; index < entries_.size(); ++index) {
      ReadyEntry ready;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return slots_[index].ready; });
        ready = std::move(slots_[index]);
        ++nextWrite_;
      }
      changed_.notify_all();
      if (ready.error) return Error{*ready.error};

      const uint8_t* stored = ready.isCompressed ? ready.compressed.data() : ready.content;
      const uint64_t storedSize = ready.isCompressed ? ready.compressed.size() : ready.size;
      if (offset + storedSize > UINT32_MAX) {
        return Error{"the package would pass 4 GiB, the limit of its 32-bit offsets"};
      }
      status = output.Write(stored, storedSize);
      if (!status.ok()) return status.TakeError();

      brx::DirectoryEntry entry = {};
      const std::string& name = entries_[index].name;
      std::memcpy(entry.name, name.data(), name.size() < brx::kEntryNameSize ? name.size() : 0);
      entry.offset = static_cast<uint32_t>(offset);
      entry.size = static_cast<uint32_t>(ready.size);
      entry.flags = ready.isCompressed ? brx::kEntryCompressed : 0;
      entry.compressedSize = static_cast<uint32_t>(storedSize);
      brx::EncodeDirectoryEntry(entry, directory.data() + index * brx::kDirectoryEntrySize);
      written.push_back({name, entry.size, entry.compressedSize, ready.isCompressed});
      offset += storedSize;
      if (options_.progress != nullptr) options_.progress->Advance(ready.size);
    }

    status = WriteDirectoryAndHeader(directory, offset, output);
    if (!status.ok()) return status.TakeError();
    return written;
  }

  Status WriteDirectoryAndHeader(const std::vector<uint8_t>& directory, uint64_t offset,
                                 AtomicOutputFile& output) {
    brx::PackageHeader header = {};
    std::memcpy(header.magic, brx::kHeaderMagic, sizeof brx::kHeaderMagic);
    header.entryCount = static_cast<uint32_t>(entries_.size());
    header.directoryOffset = static_cast<uint32_t>(offset);
    std::vector<uint8_t> compressed =
        brx::CompressZlib(directory.data(), directory.size(), options_.level);
    const bool compress = !compressed.empty() && compressed.size() < directory.size();
    const std::vector<uint8_t>& stored = compress ? compressed : directory;
    header.directoryFlags = compress ? brx::kDirectoryCompressed : brx::kDirectoryStored;
    header.directoryCompressedSize = compress ? static_cast<uint32_t>(compressed.size()) : 0;
    if (offset + stored.size() > UINT32_MAX) {
      return Error{"the package would pass 4 GiB, the limit of its 32-bit offsets"};
    }
    Status status = output.Write(stored.data(), stored.size());
    if (!status.ok()) return status;
    uint8_t bytes[brx::kHeaderSize];
    brx::EncodeHeader(header, bytes);
    return output.WriteAt(start_, bytes, sizeof bytes);
  }

  const std::vector<EntryToWrite>& entries_;
  const StreamWriterOptions& options_;
  std::vector<ReadyEntry> slots_;
  std::mutex mutex_;
  std::condition_variable changed_;
  size_t nextClaim_ = 0;
  size_t nextWrite_ = 0;
  size_t window_ = 1;
  uint64_t start_ = 0;
  bool stop_ = false;
};

}  // namespace

Result<std::vector<WrittenEntry>> WritePackageStream(const std::vector<EntryToWrite>& entries,
                                                     const StreamWriterOptions& options,
                                                     AtomicOutputFile& output) {
  if (entries.empty()) return Error{"a package needs at least one entry"};
  if (entries.size() > UINT32_MAX / brx::kDirectoryEntrySize) {
    return Error{"too many entries for one package"};
  }
  for (const EntryToWrite& entry : entries) {
    if (entry.name.empty() || entry.name.size() >= brx::kEntryNameSize) {
      return Error{"entry name '" + Windows1251ToUtf8(entry.name) + "' does not fit 31 bytes"};
    }
  }
  return ParallelWriter(entries, options).Run(output);
}

}  // namespace brxpack
