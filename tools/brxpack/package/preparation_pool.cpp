#include "brxpack/package/preparation_pool.h"

namespace brxpack {

PreparationPool::PreparationPool(const std::vector<EntryToWrite>& entries, Compression compression,
                                 unsigned threads)
    : entries_(entries),
      compression_(compression),
      slots_(entries.size()),
      ready_(entries.size(), false) {
  const unsigned count = threads == 0 ? 1 : threads;
  // A few entries beyond the threads keep every thread busy while the
  // writer catches up; more would only hold memory.
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

PreparedEntry PreparationPool::Take() {
  PreparedEntry entry;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    const size_t index = nextTake_;
    changed_.wait(lock, [&] { return ready_[index]; });
    entry = std::move(slots_[index]);
    ++nextTake_;
  }
  changed_.notify_all();
  return entry;
}

void PreparationPool::Work() {
  ZlibCompressor compressor(compression_);
  for (;;) {
    size_t index = 0;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] {
        return stop_ || nextClaim_ >= entries_.size() || nextClaim_ < nextTake_ + window_;
      });
      if (stop_ || nextClaim_ >= entries_.size()) return;
      index = nextClaim_++;
    }
    PreparedEntry entry = PrepareEntry(entries_[index], compressor);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      slots_[index] = std::move(entry);
      ready_[index] = true;
    }
    changed_.notify_all();
  }
}

}  // namespace brxpack
