#pragma once
// Writing a new file's view with the faults of its pages caught. Under Wine
// a file grown by its mapping is sparse, so a disk that fills up shows as a
// fault inside the view rather than as a refused mapping; on Windows a drive
// that goes away does the same. Uncaught, the fault ends the installer with
// the new file half written; caught, the file fails and its rollback puts
// the old one back.
#include <cstdint>

#include "system/system.h"

namespace brx {

// Calls fill(context, view) and gives its result, or false when an access of
// this thread inside [view, view + size) faulted. The fill is then cut short
// at the fault without unwinding: its frames run no destructor, so what
// must be released afterwards (an inflate state) belongs to the caller.
bool FillViewGuarded(uint8_t* view, uint32_t size, System::ViewFill fill, void* context);

}  // namespace brx
