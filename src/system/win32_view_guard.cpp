#include "system/win32_view_guard.h"

#include <windows.h>

#include <csetjmp>

namespace brx {
namespace {

struct GuardedFill {
  const uint8_t* begin;
  const uint8_t* end;
  DWORD thread;
  std::jmp_buf resume;
};

// A vectored handler gets no context of its own, so the fill it guards is
// found here. One fill at a time: only the worker writes views.
GuardedFill* volatile guarded = nullptr;

// Entered in place of the faulting instruction, on the faulting stack, which
// the jump back to the guard's frame then leaves.
[[noreturn]] void ResumeAfterFault() {
  std::longjmp(guarded->resume, 1);
}

bool FaultsInside(const EXCEPTION_RECORD& record, const GuardedFill& fill) {
  // Wine raises an access violation for a page the disk cannot back,
  // Windows an in-page error; both give the address as the second parameter.
  if (record.ExceptionCode != EXCEPTION_ACCESS_VIOLATION &&
      record.ExceptionCode != EXCEPTION_IN_PAGE_ERROR) {
    return false;
  }
  if (record.NumberParameters < 2) return false;
  const auto* address = reinterpret_cast<const uint8_t*>(record.ExceptionInformation[1]);
  return address >= fill.begin && address < fill.end;
}

LONG CALLBACK OnException(EXCEPTION_POINTERS* exception) {
  GuardedFill* fill = guarded;
  if (fill == nullptr || fill->thread != GetCurrentThreadId() ||
      !FaultsInside(*exception->ExceptionRecord, *fill)) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
#if defined(_WIN64)
  exception->ContextRecord->Rip = reinterpret_cast<DWORD64>(&ResumeAfterFault);
#else
  exception->ContextRecord->Eip = reinterpret_cast<DWORD>(&ResumeAfterFault);
#endif
  return EXCEPTION_CONTINUE_EXECUTION;
}

// Apart from its caller so that only the guard lives across setjmp.
bool RunFill(GuardedFill& fill, System::ViewFill produce, void* context, uint8_t* view) {
  volatile bool produced = false;
  if (setjmp(fill.resume) == 0) produced = produce(context, view);
  return produced;
}

}  // namespace

bool FillViewGuarded(uint8_t* view, uint32_t size, System::ViewFill fill, void* context) {
  GuardedFill guard{view, view + size, GetCurrentThreadId(), {}};
  // First in line: a fault of the view is ours before anyone else's. Should
  // no handler be added, the fill runs unguarded.
  PVOID handler = AddVectoredExceptionHandler(1, OnException);
  guarded = &guard;
  const bool produced = RunFill(guard, fill, context, view);
  guarded = nullptr;
  if (handler != nullptr) RemoveVectoredExceptionHandler(handler);
  return produced;
}

}  // namespace brx
