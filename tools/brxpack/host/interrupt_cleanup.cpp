#include "brxpack/host/interrupt_cleanup.h"

#include <array>
#include <atomic>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace brxpack {

namespace {

using PathChar = std::filesystem::path::value_type;

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

#ifndef _WIN32
// Deeper folders stay; a scratch copy of a release is never this deep.
constexpr int kDeepestFolder = 64;

// Removes the file or folder `name` below the open folder `parent`, a
// folder with everything in it, using only calls that are safe in a signal
// handler (no allocation, no locks): the handler may interrupt anything.
void RemoveTreeAt(int parent, const char* name, int depth) {
  if (unlinkat(parent, name, 0) == 0 || depth == 0) return;
  const int folder = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (folder < 0) return;
  // Removing while reading may hide some names from this pass: read again
  // from the start until the folder can go.
  for (int pass = 0; pass < 4 && unlinkat(parent, name, AT_REMOVEDIR) != 0; ++pass) {
    lseek(folder, 0, SEEK_SET);
    alignas(8) char records[2048];
    for (long got; (got = syscall(SYS_getdents64, folder, records, sizeof records)) > 0;) {
      for (long at = 0; at < got;) {
        // glibc's dirent64 is laid out as the system call writes its records.
        const dirent64* record = reinterpret_cast<const dirent64*>(records + at);
        at += record->d_reclen;
        const char* entry = record->d_name;
        if (entry[0] == '.' && (entry[1] == '\0' || (entry[1] == '.' && entry[2] == '\0'))) {
          continue;
        }
        RemoveTreeAt(folder, entry, depth - 1);
      }
    }
  }
  close(folder);
}
#endif

void RemoveAll() {
  for (Slot& slot : slots) {
    if (slot.state.load(std::memory_order_acquire) != kReady) continue;
#ifdef _WIN32
    // Open files go once their last handle closes, at the process's end.
    // The console handler runs on a thread of its own, so it may allocate.
    std::error_code ignored;
    std::filesystem::remove_all(slot.path, ignored);
#else
    RemoveTreeAt(AT_FDCWD, slot.path, kDeepestFolder);
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
