#pragma once
// The one word both threads write, each at its own time: the window thread
// sets kRunning at start and kExit on a click of a finished run; the worker
// stores kFinished or kExit once, as its last touch of shared state.
#include <atomic>
#include <cstdint>

namespace brx {

inline constexpr int32_t kRunning = 0;
inline constexpr int32_t kFinished = 1;
inline constexpr int32_t kExit = 2;

using WorkerState = std::atomic<int32_t>;

}  // namespace brx
