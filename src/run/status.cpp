#include "run/status.h"

#include <cstdarg>
#include <cstdlib>

#include "run/format_text.h"

namespace brx {

void ShowStatus(System& system, const char* format, ...) {
  // The buffer is taken per call rather than kept: the worker's 64 KB stack
  // could not hold it, and the status line is written rarely.
  char* text = static_cast<char*>(std::malloc(kStatusCapacity));
  if (text == nullptr) return;  // the previous text stays
  va_list arguments;
  va_start(arguments, format);
  const FormatResult result = FormatTextV(text, kStatusCapacity, format, arguments);
  va_end(arguments);
  // A cut text is still the message's start; a malformed one is not shown.
  if (result != FormatResult::kBadFormat) system.SetStatusText(text);
  std::free(text);
}

}  // namespace brx
