#include "run/format_text.h"

namespace brx {

namespace {

// Writes characters into a fixed destination, remembering whether any had
// to be dropped. One byte is always kept for the terminator.
class TextSink {
 public:
  TextSink(char* destination, size_t capacity) : destination_(destination), capacity_(capacity) {}

  void Put(char c) {
    if (length_ + 1 < capacity_) {
      destination_[length_++] = c;
    } else {
      cut_ = true;
    }
  }
  void PutText(const char* text) {
    while (*text != '\0' && !cut_) Put(*text++);
  }
  void PutUnsigned(unsigned value, unsigned base) {
    char digits[32];  // enough for any 32- or 64-bit value in base 10 or 16
    size_t count = 0;
    do {
      const unsigned digit = value % base;
      digits[count++] = static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10);
      value /= base;
    } while (value != 0);
    while (count > 0) Put(digits[--count]);
  }
  void PutSigned(int value) {
    // Negating in unsigned arithmetic keeps INT_MIN well defined.
    unsigned magnitude = static_cast<unsigned>(value);
    if (value < 0) {
      Put('-');
      magnitude = 0u - magnitude;
    }
    PutUnsigned(magnitude, 10);
  }
  void Terminate() {
    if (capacity_ != 0) destination_[length_] = '\0';
  }
  bool cut() const { return cut_; }

 private:
  char* destination_;
  size_t capacity_;
  size_t length_ = 0;
  bool cut_ = false;
};

}  // namespace

FormatResult FormatTextV(char* destination, size_t capacity, const char* format,
                         va_list arguments) {
  TextSink sink(destination, capacity);
  FormatResult result = FormatResult::kComplete;
  for (const char* at = format; *at != '\0'; ++at) {
    if (*at != '%') {
      sink.Put(*at);
      continue;
    }
    ++at;
    if (*at == 's') {
      const char* text = va_arg(arguments, const char*);
      if (text == nullptr) {
        result = FormatResult::kBadFormat;
        break;
      }
      sink.PutText(text);
    } else if (*at == 'd') {
      sink.PutSigned(va_arg(arguments, int));
    } else if (*at == 'u') {
      sink.PutUnsigned(va_arg(arguments, unsigned), 10);
    } else if (*at == 'x') {
      sink.PutUnsigned(va_arg(arguments, unsigned), 16);
    } else if (*at == '%') {
      sink.Put('%');
    } else {
      // An unknown conversion (or a lone % at the end) would consume an
      // argument of unknown type; nothing after it can be trusted.
      result = FormatResult::kBadFormat;
      break;
    }
  }
  sink.Terminate();
  if (result == FormatResult::kComplete && sink.cut()) result = FormatResult::kCut;
  return result;
}

FormatResult FormatText(char* destination, size_t capacity, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const FormatResult result = FormatTextV(destination, capacity, format, arguments);
  va_end(arguments);
  return result;
}

}  // namespace brx
