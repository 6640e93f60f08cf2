#pragma once
// The robot's report: one JSON object per line, texts as hex of their
// Windows-1251 bytes.
#include <windows.h>

#include <cstdio>
#include <string>

namespace robot {

inline std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

// One JSON object per line; values are numbers or strings that need no
// escaping (hex, fixed words), so no JSON library is needed.
class Event {
 public:
  explicit Event(const char* name) { line_ = std::string("{\"event\":\"") + name + "\""; }
  Event& Num(const char* key, long long value) {
    line_ += std::string(",\"") + key + "\":" + std::to_string(value);
    return *this;
  }
  Event& Word(const char* key, const std::string& value) {
    line_ += std::string(",\"") + key + "\":\"" + value + "\"";
    return *this;
  }
  Event& Text(const char* key, const std::string& bytes) { return Word(key, Hex(bytes)); }
  const std::string& Line() const { return line_; }

 private:
  std::string line_;
};

class Report {
 public:
  bool Open(const std::string& path) {
    file_ = std::fopen(path.c_str(), "wb");
    start_ = GetTickCount64();
    return file_ != nullptr;
  }
  ULONGLONG Now() const { return GetTickCount64() - start_; }
  // Written at once, so a report survives a robot that is killed.
  void Write(Event& event) {
    event.Num("t", static_cast<long long>(Now()));
    std::fprintf(file_, "%s}\n", event.Line().c_str());
    std::fflush(file_);
  }
  void Close() { std::fclose(file_); }

 private:
  FILE* file_ = nullptr;
  ULONGLONG start_ = 0;
};

}  // namespace robot
