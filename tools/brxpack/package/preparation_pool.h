#pragma once
// Entries prepared on several threads and handed out in their given order,
// so that what is written does not depend on which thread finishes first.
// Workers run at most a few entries ahead of the taker, so memory holds only
// the entries in flight.
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "brxpack/package/entry_preparation.h"

namespace brxpack {

class PreparationPool {
 public:
  // Starts the workers (at least one). `entries` must outlive the pool.
  PreparationPool(const std::vector<EntryToWrite>& entries, Compression compression,
                  unsigned threads);
  // Stops the workers, whether or not every entry was taken.
  ~PreparationPool();
  PreparationPool(const PreparationPool&) = delete;
  PreparationPool& operator=(const PreparationPool&) = delete;

  // The next entry in order, once it is ready; at most once per entry.
  PreparedEntry Take();

 private:
  void Work();

  const std::vector<EntryToWrite>& entries_;
  const Compression compression_;
  size_t window_ = 1;
  std::vector<PreparedEntry> slots_;
  std::vector<bool> ready_;
  std::mutex mutex_;
  std::condition_variable changed_;
  size_t nextClaim_ = 0;
  size_t nextTake_ = 0;
  bool stop_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace brxpack
