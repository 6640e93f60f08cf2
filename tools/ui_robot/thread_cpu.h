#pragma once
// CPU time of a thread of another process.
#include <windows.h>

namespace robot {

inline ULONGLONG Milliseconds(const FILETIME& time) {
  ULARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  return value.QuadPart / 10000;
}

// CPU used so far by one thread of another process. Wine reports no CPU
// times for another process as a whole, but it does for its threads; the
// window thread is the one the figure is about.
inline ULONGLONG ThreadCpuMs(DWORD thread_id) {
  HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, thread_id);
  if (!thread) return 0;
  FILETIME created, ended, kernel, user;
  ULONGLONG total = 0;
  if (GetThreadTimes(thread, &created, &ended, &kernel, &user)) {
    total = Milliseconds(kernel) + Milliseconds(user);
  }
  CloseHandle(thread);
  return total;
}

}  // namespace robot
