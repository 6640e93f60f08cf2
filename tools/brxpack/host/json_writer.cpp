#include "brxpack/host/json_writer.h"

#include <cstdio>
#include <string>
#include <utility>

namespace brxpack {

void JsonWriter::BeforeValue() {
  if (std::exchange(afterKey_, false)) return;
  if (!first_.empty() && !std::exchange(first_.back(), false)) out_ << ",";
}

void JsonWriter::Open(char bracket) {
  BeforeValue();
  out_ << bracket;
  first_.push_back(true);
}

// The outermost object ends the document's line.
void JsonWriter::Close(char bracket) {
  first_.pop_back();
  out_ << bracket;
  if (first_.empty() && bracket == '}') out_ << "\n";
}

void JsonWriter::Key(std::string_view name) {
  BeforeValue();
  Quoted(name);
  out_ << ":";
  afterKey_ = true;
}

void JsonWriter::String(std::string_view utf8) {
  BeforeValue();
  Quoted(utf8);
}

void JsonWriter::Quoted(std::string_view utf8) {
  out_ << '"';
  for (const char c : utf8) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out_ << '\\' << c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out_ << escaped;
    } else {
      out_ << c;
    }
  }
  out_ << '"';
}

void JsonWriter::Literal(std::string_view text) {
  BeforeValue();
  out_ << text;
}

void JsonWriter::Write(const std::vector<std::string>& texts) {
  BeginArray();
  for (const std::string& text : texts) String(text);
  EndArray();
}

}  // namespace brxpack
