#pragma once
// A fixed-size text buffer whose appends report overflow instead of cutting
// or overrunning: a path that does not fit is a handled result.
#include <cstddef>
#include <cstring>

namespace brx {

template <size_t Capacity>
class BoundedText {
 public:
  static constexpr size_t kCapacity = Capacity;  // terminator included

  BoundedText() { text_[0] = '\0'; }

  const char* c_str() const { return text_; }
  char* data() { return text_; }
  size_t length() const { return length_; }
  bool empty() const { return length_ == 0; }
  char last() const { return length_ == 0 ? '\0' : text_[length_ - 1]; }

  void Clear() {
    length_ = 0;
    text_[0] = '\0';
  }
  bool Assign(const char* text) {
    Clear();
    return Append(text);
  }
  // Appends the whole text or, when it does not fit, nothing.
  bool Append(const char* text) { return AppendBytes(text, std::strlen(text)); }
  bool AppendBytes(const char* bytes, size_t count) {
    if (count >= Capacity - length_) return false;
    std::memcpy(text_ + length_, bytes, count);
    length_ += count;
    text_[length_] = '\0';
    return true;
  }
  bool AppendChar(char c) { return AppendBytes(&c, 1); }

 private:
  char text_[Capacity];
  size_t length_ = 0;
};

using PathText = BoundedText<512>;
using CommandText = BoundedText<1024>;

}  // namespace brx
