#include "brxpack/package/preparation_pool.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

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

}  // namespace

PreparationPool::PreparationPool(const std::vector<EntryToWrite>& entries,
                                 Compression compression, unsigned threads,
                                 uint64_t wholeEntryLimit)
    : entries_(entries),
      compression_(compression),
      pieces_(entries.size(), 0),
      sizes_(entries.size(), 0) {
  for (size_t index = 0; index < entries.size(); ++index) {
    const EntryToWrite& entry = entries[index];
    const std::optional<uint64_t> size = entry.fromFile ? FileSize(entry) : std::nullopt;
    // A file of 4 GiB or more goes whole, to be refused before it is read.
    if (size && *size > wholeEntryLimit && *size <= UINT32_MAX) {
      pieces_[index] = PieceCount(*size);
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

PreparationPool::~PreparationPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

PreparationPool::Prepared PreparationPool::Take() {
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

void PreparationPool::Work() {
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
    Prepared prepared;
    if (pieces_[job.entry] == 0) {
      prepared = PrepareEntry(entry, whole);
    } else {
      prepared = PreparePiece(entry, sizes_[job.entry], job.piece, whole, pieces, buffer);
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      slots_[index] = std::move(prepared);
      ready_[index] = true;
    }
    changed_.notify_all();
  }
}

}  // namespace brxpack
