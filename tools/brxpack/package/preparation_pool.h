#pragma once
// Entries prepared on several threads and handed out in their given order,
// so that what is written does not depend on which thread finishes first.
// A job is a whole entry or, for a file above the whole-entry limit, one
// piece of it (entry_preparation.h). Workers run at most a few jobs ahead of
// the taker, so memory holds only the jobs in flight: at most threads + 2,
// each one entry up to the limit or one piece.
#include <condition_variable>
#include <mutex>
#include <thread>
#include <variant>
#include <vector>

#include "brxpack/package/entry_preparation.h"

namespace brxpack {

class PreparationPool {
 public:
  // Starts the workers (at least one). `entries` must outlive the pool.
  // Files larger than `wholeEntryLimit` bytes are prepared piece by piece.
  PreparationPool(const std::vector<EntryToWrite>& entries, Compression compression,
                  unsigned threads, uint64_t wholeEntryLimit);
  // Stops the workers, whether or not every job was taken.
  ~PreparationPool();
  PreparationPool(const PreparationPool&) = delete;
  PreparationPool& operator=(const PreparationPool&) = delete;

  // How many pieces entry `index` is handed out in; 0 when it comes whole.
  uint32_t PiecesOf(size_t index) const { return pieces_[index]; }
  // The next job in order, once it is ready; at most once per job: a whole
  // entry, or the next piece of one, as PiecesOf says.
  PreparedEntry TakeEntry() { return std::get<PreparedEntry>(Take()); }
  PreparedPiece TakePiece() { return std::get<PreparedPiece>(Take()); }

 private:
  struct Job {
    size_t entry = 0;
    uint32_t piece = 0;  // of a pieced entry
  };
  using Prepared = std::variant<PreparedEntry, PreparedPiece>;

  Prepared Take();
  void Work();

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

}  // namespace brxpack
