#include "brxpack/package/package_stream_writer.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

#include "brxpack/contents/windows1251.h"
#include "brxpack/host/host_file_io.h"
#include "brxpack/host/host_path.h"
#include "package/format.h"
#include "package/package_digest.h"

namespace brxpack {

namespace {

// A file's size as listed, or as it is now for an entry listed without one.
std::optional<uint64_t> FileSize(const EntryToWrite& entry) {
  if (entry.listedSize) return entry.listedSize;
  std::error_code error;
  const uint64_t size = std::filesystem::file_size(entry.file, error);
  if (error) return std::nullopt;  // reading it whole reports why
  return size;
}

std::string Describe(const EntryToWrite& entry) {
  return entry.fromFile ? Utf8FromPath(entry.file) : "section " + Windows1251ToUtf8(entry.name);
}

// A job done: a whole entry's zlib stream, or a piece's deflate data and
// the Adler-32 of its content.
struct Prepared {
  std::optional<std::string> error;  // set: nothing else is
  uint64_t size = 0;                 // of the content it covers
  DeflatedPiece stream;
};

// Runs `make`, which fills `ready` and says whether its compressor did its
// part; a failing compressor and memory running out become errors that name
// the entry.
template <typename Make>
Prepared Prepare(const EntryToWrite& entry, Make make) {
  Prepared ready;
  try {
    if (!make(ready) && !ready.error) ready.error = Describe(entry) + ": could not compress it";
  } catch (const std::bad_alloc&) {
    ready = {};
    ready.error = Describe(entry) + ": out of memory";
  }
  return ready;
}

// Reads `entry` and makes its stream with this thread's compressor. Fails,
// naming the file, for an unreadable file or one that changed since it was
// listed, content of 4 GiB or more, or memory running out.
Prepared PrepareEntry(const EntryToWrite& entry, ZlibCompressor& compressor) {
  return Prepare(entry, [&](Prepared& ready) {
    // Read here and dropped once compressed: only the stream waits for the writer.
    std::vector<uint8_t> fileBytes;
    const std::vector<uint8_t>* content = &entry.bytes;
    if (entry.fromFile) {
      Result<std::vector<uint8_t>> read = ReadWholeFile(entry.file, entry.listedSize);
      if (!read.ok()) {
        ready.error = read.error();
        return false;
      }
      fileBytes = std::move(*read);
      content = &fileBytes;
    }
    ready.size = content->size();
    if (ready.size > UINT32_MAX) {
      ready.error = Describe(entry) + " is 4 GiB or larger; entries hold 32-bit sizes";
      return false;
    }
    // Every entry is a zlib stream, so the installer's Adler-32 check
    // covers every byte; what does not shrink goes into stored blocks, a
    // few bytes per 64 KB more than the bytes themselves.
    ready.stream.bytes = entry.stored ? compressor.Store(content->data(), ready.size)
                                      : compressor.CompressOrStore(content->data(), ready.size);
    return !ready.stream.bytes.empty();
  });
}

// Reads piece `index` of the file of `entry`, which must still have
// `entrySize` bytes, into `buffer` (the thread's own, kept from piece to
// piece), and deflates it with the thread's compressors. Fails as
// PrepareEntry does.
Prepared PreparePiece(const EntryToWrite& entry, uint64_t entrySize, uint32_t index,
                      ZlibCompressor& compressor, PieceCompressor& pieces,
                      std::vector<uint8_t>& buffer) {
  return Prepare(entry, [&](Prepared& ready) {
    const uint64_t offset = uint64_t{index} * kPieceSize;
    ready.size = std::min<uint64_t>(kPieceSize, entrySize - offset);
    // Room for a whole piece at once: grown to the first one's size, and
    // then the next, it could double.
    buffer.reserve(kPieceSize);
    const Status read =
        ReadFilePart(entry.file, entrySize, offset, static_cast<size_t>(ready.size), buffer);
    if (!read.ok()) {
      ready.error = read.error();
      return false;
    }
    const bool last = offset + ready.size == entrySize;
    return pieces.Deflate(compressor, buffer.data(), buffer.size(), last, entry.stored,
                          ready.stream);
  });
}

// Entries prepared on several threads and handed out in their given order,
// so that what is written does not depend on which thread finishes first.
class PreparationPool {
 public:
  // Starts the workers (at least one). `entries` must outlive the pool.
  PreparationPool(const std::vector<EntryToWrite>& entries, Compression compression,
                  unsigned threads, uint64_t wholeEntryLimit)
      : entries_(entries),
        compression_(compression),
        pieces_(entries.size(), 0),
        sizes_(entries.size(), 0) {
    for (size_t index = 0; index < entries.size(); ++index) {
      const EntryToWrite& entry = entries[index];
      const std::optional<uint64_t> size = entry.fromFile ? FileSize(entry) : std::nullopt;
      // A file of 4 GiB or more goes whole, to be refused before it is read.
      if (size && *size > wholeEntryLimit && *size <= UINT32_MAX) {
        pieces_[index] = static_cast<uint32_t>((*size + kPieceSize - 1) / kPieceSize);
        sizes_[index] = *size;
      }
      for (uint32_t piece = 0; piece < std::max<uint32_t>(pieces_[index], 1); ++piece) {
        jobs_.push_back({index, piece});
      }
    }
    slots_.resize(jobs_.size());
    ready_.resize(jobs_.size(), false);
    const unsigned count = threads == 0 ? 1 : threads;
    // A few jobs beyond the threads keep every thread busy while the writer
    // catches up; more would only hold memory.
    window_ = count + 2;
    for (unsigned i = 0; i < count; ++i) workers_.emplace_back([this] { Work(); });
  }

  // Stops the workers, whether or not every job was taken.
  ~PreparationPool() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers_) worker.join();
  }

  PreparationPool(const PreparationPool&) = delete;
  PreparationPool& operator=(const PreparationPool&) = delete;

  // How many pieces entry `index` is handed out in; 0 when it comes whole.
  uint32_t PiecesOf(size_t index) const { return pieces_[index]; }
  // The next job in order, once it is ready; at most once per job: a whole
  // entry, or the next piece of one, as PiecesOf says.
  Prepared Take() {
    Prepared job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      const size_t index = nextTake_;
      changed_.wait(lock, [&] { return ready_[index]; });
      job = std::move(slots_[index]);
      ++nextTake_;
    }
    changed_.notify_all();
    return job;
  }

 private:
  struct Job {
    size_t entry = 0;
    uint32_t piece = 0;  // of a pieced entry
  };

  void Work() {
    // What the thread keeps from job to job.
    ZlibCompressor whole(compression_);
    PieceCompressor pieces;
    std::vector<uint8_t> buffer;  // a piece of a file
    for (;;) {
      size_t index = 0;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] {
          return stop_ || nextClaim_ >= jobs_.size() || nextClaim_ < nextTake_ + window_;
        });
        if (stop_ || nextClaim_ >= jobs_.size()) return;
        index = nextClaim_++;
      }
      const Job& job = jobs_[index];
      const EntryToWrite& entry = entries_[job.entry];
      Prepared prepared = pieces_[job.entry] == 0 ? PrepareEntry(entry, whole)
                                                  : PreparePiece(entry, sizes_[job.entry],
                                                                 job.piece, whole, pieces, buffer);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        slots_[index] = std::move(prepared);
        ready_[index] = true;
      }
      changed_.notify_all();
    }
  }

  const std::vector<EntryToWrite>& entries_;
  const Compression compression_;
  std::vector<uint32_t> pieces_;
  std::vector<uint64_t> sizes_;  // of the pieced entries' files
  std::vector<Job> jobs_;
  size_t window_ = 1;
  std::vector<Prepared> slots_;
  std::vector<bool> ready_;
  std::mutex mutex_;
  std::condition_variable changed_;
  size_t nextClaim_ = 0;
  size_t nextTake_ = 0;
  bool stop_ = false;
  std::vector<std::thread> workers_;
};

// Fails when the package would reach past `end`, counted from its start.
Status CheckPackageEnd(uint64_t end) {
  if (end <= UINT32_MAX) return Status::Ok();
  return Error{"the package would pass 4 GiB, the limit of its 32-bit offsets"};
}

// The digest behind the entries, its record last in the directory: stored
// raw, as the checksum of everything else it needs none of its own.
Status WriteDigest(size_t index, brx::PackageDigest& digest, uint64_t offset,
                   std::vector<uint8_t>& directory, AtomicOutputFile& output) {
  Status status = CheckPackageEnd(offset + brx::kDigestSize);
  if (!status.ok()) return status;
  brx::DirectoryEntry entry = {};
  std::memcpy(entry.name, brx::kDigestSection, sizeof brx::kDigestSection);
  entry.offset = static_cast<uint32_t>(offset);
  entry.size = brx::kDigestSize;
  entry.compressedSize = brx::kDigestSize;
  brx::EncodeDirectoryEntry(entry, directory.data() + index * brx::kDirectoryEntrySize);
  digest.AddDigestEntry(entry);
  uint8_t value[brx::kDigestSize];
  brx::WriteLe32(value, digest.value());
  return output.Write(value, sizeof value);
}

// An entry's stream as written: what its record and the digest need.
struct WrittenStream {
  uint64_t size = 0;  // of the content
  uint64_t storedSize = 0;
  uint32_t storedAdler32 = 1;
};

// Appends a stream's bytes at `offset` in the package, keeping the
// checksum of what the entry stores so far.
Status Append(const uint8_t* bytes, size_t size, uint64_t offset, WrittenStream& stream,
              AtomicOutputFile& output) {
  Status status = CheckPackageEnd(offset + stream.storedSize + size);
  if (status.ok()) status = output.Write(bytes, size);
  if (!status.ok()) return status;
  stream.storedAdler32 = brx::Adler32(stream.storedAdler32, bytes, size);
  stream.storedSize += size;
  return Status::Ok();
}

// An entry prepared whole: its stream in one write.
Result<WrittenStream> WriteWhole(PreparationPool& pool, uint64_t offset, AtomicOutputFile& output,
                                 ProgressMeter* progress) {
  const Prepared ready = pool.Take();
  if (ready.error) return Error{*ready.error};
  WrittenStream stream;
  stream.size = ready.size;
  const std::vector<uint8_t>& bytes = ready.stream.bytes;
  Status status = Append(bytes.data(), bytes.size(), offset, stream, output);
  if (!status.ok()) return status.TakeError();
  if (progress != nullptr) progress->Advance(ready.size);
  return stream;
}

// A file prepared piece by piece: the stream's header, each piece's
// deflate data as the pool hands it out, and the content's Adler-32.
Result<WrittenStream> WritePieces(PreparationPool& pool, size_t index, const EntryToWrite& entry,
                                  Compression compression, uint64_t offset,
                                  AtomicOutputFile& output, ProgressMeter* progress) {
  WrittenStream stream;
  uint32_t contentAdler32 = 1;
  const std::array<uint8_t, 2> header = PiecedStreamHeader(compression, entry.stored);
  Status status = Append(header.data(), header.size(), offset, stream, output);
  for (uint32_t piece = 0; status.ok() && piece < pool.PiecesOf(index); ++piece) {
    const Prepared ready = pool.Take();
    if (ready.error) return Error{*ready.error};
    const std::vector<uint8_t>& bytes = ready.stream.bytes;
    status = Append(bytes.data(), bytes.size(), offset, stream, output);
    contentAdler32 = brx::CombineAdler32(contentAdler32, ready.stream.contentAdler32, ready.size);
    stream.size += ready.size;
    if (progress != nullptr) progress->Advance(ready.size);
  }
  const std::array<uint8_t, 4> trailer = PiecedStreamTrailer(contentAdler32);
  if (status.ok()) status = Append(trailer.data(), trailer.size(), offset, stream, output);
  if (!status.ok()) return status.TakeError();
  return stream;
}

// The directory behind the entries, as a zlib stream (stored blocks when
// it does not shrink, so the installer's checksum covers it too), and the
// header, known only now, over the placeholder at the package's start.
Status WriteDirectoryAndHeader(const std::vector<uint8_t>& directory, uint32_t entryCount,
                               uint64_t directoryOffset, uint64_t packageStart,
                               Compression compression, AtomicOutputFile& output) {
  brx::PackageHeader header = {};
  std::memcpy(header.magic, brx::kHeaderMagic, sizeof brx::kHeaderMagic);
  header.entryCount = entryCount;
  header.directoryOffset = static_cast<uint32_t>(directoryOffset);
  ZlibCompressor compressor(compression);
  std::vector<uint8_t> stored = compressor.CompressOrStore(directory.data(), directory.size());
  if (stored.empty()) return Error{"could not compress the directory"};
  header.directoryFlags = brx::kDirectoryCompressed;
  header.directoryCompressedSize = static_cast<uint32_t>(stored.size());
  Status status = CheckPackageEnd(directoryOffset + stored.size());
  if (status.ok()) status = output.Write(stored.data(), stored.size());
  if (!status.ok()) return status;
  uint8_t bytes[brx::kHeaderSize];
  brx::EncodeHeader(header, bytes);
  return output.WriteAt(packageStart, bytes, sizeof bytes);
}

// The entries in their order as the pool hands them out, each followed by
// its directory entry; offsets count from the package's start.
Result<std::vector<WrittenEntry>> WriteInOrder(const std::vector<EntryToWrite>& entries,
                                               const StreamWriterOptions& options,
                                               AtomicOutputFile& output) {
  const uint64_t start = output.written();
  const uint8_t placeholder[brx::kHeaderSize] = {};
  Status status = output.Write(placeholder, sizeof placeholder);
  if (!status.ok()) return status.TakeError();
  // One record more than entries: the digest's, last.
  std::vector<uint8_t> directory((entries.size() + 1) * brx::kDirectoryEntrySize);
  std::vector<WrittenEntry> written;
  brx::PackageDigest digest;
  uint64_t offset = brx::kHeaderSize;

  PreparationPool pool(entries, options.compression, options.threads, options.wholeEntryLimit);
  for (size_t index = 0; index < entries.size(); ++index) {
    Result<WrittenStream> stream =
        pool.PiecesOf(index) == 0 ? WriteWhole(pool, offset, output, options.progress)
                                  : WritePieces(pool, index, entries[index], options.compression,
                                                offset, output, options.progress);
    if (!stream.ok()) return stream.TakeError();

    brx::DirectoryEntry entry = {};
    const std::string& name = entries[index].name;
    std::memcpy(entry.name, name.data(), name.size());
    entry.offset = static_cast<uint32_t>(offset);
    entry.size = static_cast<uint32_t>(stream->size);
    entry.flags = brx::kEntryCompressed;
    entry.compressedSize = static_cast<uint32_t>(stream->storedSize);
    brx::EncodeDirectoryEntry(entry, directory.data() + index * brx::kDirectoryEntrySize);
    digest.AddEntry(entry, stream->storedAdler32);
    written.push_back({entry.size, stream->storedSize < stream->size});
    offset += stream->storedSize;
  }
  status = WriteDigest(entries.size(), digest, offset, directory, output);
  if (!status.ok()) return status.TakeError();
  offset += brx::kDigestSize;
  status = WriteDirectoryAndHeader(directory, static_cast<uint32_t>(entries.size() + 1), offset,
                                   start, options.compression, output);
  if (!status.ok()) return status.TakeError();
  return written;
}

}  // namespace

Result<std::vector<WrittenEntry>> WritePackageStream(const std::vector<EntryToWrite>& entries,
                                                     const StreamWriterOptions& options,
                                                     AtomicOutputFile& output) {
  if (entries.empty()) return Error{"a package needs at least one entry"};
  if (entries.size() >= UINT32_MAX / brx::kDirectoryEntrySize) {
    return Error{"too many entries for one package"};
  }
  for (const EntryToWrite& entry : entries) {
    if (entry.name.empty() || entry.name.size() >= brx::kEntryNameSize) {
      return Error{"entry name '" + Windows1251ToUtf8(entry.name) + "' does not fit 31 bytes"};
    }
  }
  return WriteInOrder(entries, options, output);
}

}  // namespace brxpack
