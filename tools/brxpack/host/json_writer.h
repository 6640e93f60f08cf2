#pragma once
// JSON for list --json and verify --json: values written in order, commas
// and quoting taken care of. Texts must be UTF-8.
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace brxpack {

class JsonWriter {
 public:
  explicit JsonWriter(std::ostream& out) : out_(out) {}

  void BeginObject() { Open('{'); }
  void EndObject() { Close('}'); }
  void BeginArray() { Open('['); }
  void EndArray() { Close(']'); }
  // Inside an object: the next value's name.
  void Key(std::string_view name);
  void String(std::string_view utf8);

  // Key and value at once.
  template <typename T>
  void Field(std::string_view name, const T& value) {
    Key(name);
    Write(value);
  }

 private:
  void Write(std::string_view utf8) { String(utf8); }
  void Write(const char* utf8) { String(utf8); }
  void Write(bool value) { Literal(value ? "true" : "false"); }
  void Write(int64_t value) { Literal(std::to_string(value)); }
  void Write(uint32_t value) { Write(int64_t{value}); }
  void Write(uint64_t value) { Write(static_cast<int64_t>(value)); }
  void Write(const std::vector<std::string>& texts);
  template <typename T>
  void Write(const std::optional<T>& value) {  // null when there is none
    value ? Write(*value) : Literal("null");
  }
  void Open(char bracket);
  void Close(char bracket);
  void BeforeValue();
  void Literal(std::string_view text);  // a number, true, false or null
  void Quoted(std::string_view utf8);

  std::ostream& out_;
  std::vector<char> first_;  // per open object or array: nothing written in it yet
  bool afterKey_ = false;
};

}  // namespace brxpack
