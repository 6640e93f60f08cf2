#include "app/command_line.h"

#include <cstdlib>
#include <cstring>

namespace brx {

namespace {

constexpr char kQuote = '"';
// Argument 4 that asks for builder mode; compared exactly, case included.
constexpr char kBuilderKeyword[] = "MAKEEXE";

// Bytes 0x80 to 0xFF are ordinary argument bytes, so an unquoted path in
// Windows-1251 Cyrillic stays whole; only the control bytes and the space
// separate arguments.
bool IsBlank(char c) {
  const unsigned char byte = static_cast<unsigned char>(c);
  return byte >= 0x01 && byte <= 0x20;
}

// The length of the unquoted argument that starts at `text`.
size_t UnquotedLength(const char* text) {
  size_t length = 0;
  while (text[length] != '\0' && !IsBlank(text[length])) ++length;
  return length;
}

// The length of the quoted argument whose first byte is `text` (just past
// the opening quote): up to the closing quote or the end of the text.
size_t QuotedLength(const char* text) {
  size_t length = 0;
  while (text[length] != '\0' && text[length] != kQuote) ++length;
  return length;
}

char* CopyArgument(const char* text, size_t length) {
  char* copy = static_cast<char*>(std::malloc(length + 1));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, text, length);
  copy[length] = '\0';
  return copy;
}

}  // namespace

bool SplitCommandLine(const char* commandLine, ArgumentList* arguments) {
  arguments->count = 0;
  arguments->items = static_cast<char**>(std::malloc(kMaxArguments * sizeof(char*)));
  if (arguments->items == nullptr) return false;
  const char* at = commandLine != nullptr ? commandLine : "";
  while (arguments->count < kMaxArguments) {
    while (IsBlank(*at)) ++at;
    if (*at == '\0') break;
    const bool quoted = *at == kQuote;
    if (quoted) ++at;
    const size_t length = quoted ? QuotedLength(at) : UnquotedLength(at);
    // Only a pair of quotes with nothing between them gives an empty
    // argument; it ends the command line.
    if (length == 0) break;
    char* copy = CopyArgument(at, length);
    if (copy == nullptr) return false;
    arguments->items[arguments->count++] = copy;
    at += length;
    if (*at == kQuote) ++at;  // the closing quote
  }
  return true;
}

void ReleaseArguments(ArgumentList* arguments) {
  for (uint32_t i = 0; i < arguments->count; ++i) std::free(arguments->items[i]);
  std::free(arguments->items);
  *arguments = ArgumentList{};
}

RunMode SelectRunMode(const ArgumentList& arguments) {
  if (arguments.count <= 1) return RunMode::kApplyOwnFile;
  if (arguments.count <= 3) return RunMode::kApplyPackageFile;
  return std::strcmp(arguments.items[3], kBuilderKeyword) == 0 ? RunMode::kBuild : RunMode::kUsage;
}

}  // namespace brx
