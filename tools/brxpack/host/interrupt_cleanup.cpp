#include "brxpack/host/interrupt_cleanup.h"

#include <array>
#include <atomic>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

namespace brxpack {

namespace {

#ifdef _WIN32
using PathChar = wchar_t;
#else
using PathChar = char;
#endif

// Fixed slots, so that the handler reads nothing that could be freed under
// it: a slot is claimed (kFilling), its name written, then published
// (kReady); the handler only touches ready slots. Extraction writes one file
// per thread at most, so the slots cover every thread the tool starts.
enum SlotState : int { kFree, kFilling, kReady };
constexpr size_t kSlots = 80;
constexpr size_t kLongestPath = 4096;

struct Slot {
  std::atomic<int> state{kFree};
  PathChar path[kLongestPath];
};
std::array<Slot, kSlots> slots;

void RemoveAll() {
  for (Slot& slot : slots) {
    if (slot.state.load(std::memory_order_acquire) != kReady) continue;
#ifdef _WIN32
    // Open files go once their last handle closes, at the process's end.
    DeleteFileW(slot.path);
#else
    unlink(slot.path);
#endif
  }
}

#ifdef _WIN32
BOOL WINAPI OnConsoleEvent(DWORD) {
  RemoveAll();
  return FALSE;  // the default handler ends the process
}
#else
void OnSignal(int signal) {
  RemoveAll();
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigaction(signal, &action, nullptr);
  raise(signal);
}
#endif

}  // namespace

void RemoveTemporariesOnInterrupt() {
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
#endif
}

int RegisterTemporary(const std::filesystem::path& path) {
  const std::filesystem::path::string_type& name = path.native();
  if (name.size() >= kLongestPath) return -1;
  for (size_t i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!slots[i].state.compare_exchange_strong(expected, kFilling)) continue;
    std::memcpy(slots[i].path, name.c_str(), (name.size() + 1) * sizeof(PathChar));
    slots[i].state.store(kReady, std::memory_order_release);
    return static_cast<int>(i);
  }
  return -1;
}

void ReleaseTemporary(int slot) {
  if (slot >= 0) slots[static_cast<size_t>(slot)].state.store(kFree, std::memory_order_release);
}

}  // namespace brxpack
