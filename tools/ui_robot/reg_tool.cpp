// subsystem: console
// Sets up and reads registry values for the tests, the demo and the bench,
// byte for byte: `reg` prints values in a form meant for people, and texts
// would go through code-page conversions that could hide a wrong byte.
//
// Usage: reg_tool SCRIPT RESULT
// SCRIPT holds one command a line; RESULT gets one line per command.
// Roots are HKLM or HKCU; keys, names and data are hex of their bytes, with
// "-" for the empty text; types are decimal REG_* codes.
//   delete ROOT KEY                   delete the key with everything below it
//   set ROOT KEY NAME TYPE DATA       create the key if needed, write the value
//   get ROOT KEY NAME                 "value TYPE DATA" or "missing ERROR"
// Reads and writes use the ANSI functions, as the installer does.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

bool FromHex(const std::string& hex, std::string* bytes) {
  bytes->clear();
  if (hex == "-") return true;
  if (hex.size() % 2) return false;
  for (size_t i = 0; i < hex.size(); i += 2) {
    char* end = nullptr;
    std::string pair = hex.substr(i, 2);
    long value = std::strtol(pair.c_str(), &end, 16);
    if (*end) return false;
    bytes->push_back(static_cast<char>(value));
  }
  return true;
}

std::string Hex(const BYTE* data, DWORD size) {
  if (size == 0) return "-";
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (DWORD i = 0; i < size; ++i) {
    out += digits[data[i] >> 4];
    out += digits[data[i] & 15];
  }
  return out;
}

bool Root(const std::string& name, HKEY* root) {
  if (name == "HKLM")
    *root = HKEY_LOCAL_MACHINE;
  else if (name == "HKCU")
    *root = HKEY_CURRENT_USER;
  else
    return false;
  return true;
}

std::string Run(const std::vector<std::string>& word) {
  HKEY root;
  std::string key, name, data;
  if (word.size() < 3 || !Root(word[1], &root) || !FromHex(word[2], &key)) return "bad command";
  if (word[0] == "delete" && word.size() == 3) {
    LONG result = RegDeleteTreeA(root, key.c_str());
    if (result == ERROR_SUCCESS) result = RegDeleteKeyA(root, key.c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND
               ? "ok"
               : "error " + std::to_string(result);
  }
  if (word[0] == "set" && word.size() == 6 && FromHex(word[3], &name) && FromHex(word[5], &data)) {
    HKEY opened;
    LONG result = RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &opened, nullptr);
    if (result != ERROR_SUCCESS) return "error " + std::to_string(result);
    result =
        RegSetValueExA(opened, name.c_str(), 0, std::strtoul(word[4].c_str(), nullptr, 10),
                       reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
    RegCloseKey(opened);
    return result == ERROR_SUCCESS ? "ok" : "error " + std::to_string(result);
  }
  if (word[0] == "get" && word.size() == 4 && FromHex(word[3], &name)) {
    HKEY opened;
    LONG result = RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &opened);
    if (result != ERROR_SUCCESS) return "missing " + std::to_string(result);
    std::vector<BYTE> buffer(65536);
    DWORD type = 0, size = static_cast<DWORD>(buffer.size());
    result = RegQueryValueExA(opened, name.c_str(), nullptr, &type, buffer.data(), &size);
    RegCloseKey(opened);
    if (result != ERROR_SUCCESS) return "missing " + std::to_string(result);
    return "value " + std::to_string(type) + " " + Hex(buffer.data(), size);
  }
  return "bad command";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: reg_tool SCRIPT RESULT\n");
    return 2;
  }
  FILE* script = std::fopen(argv[1], "rb");
  FILE* result = std::fopen(argv[2], "wb");
  if (!script || !result) {
    std::fprintf(stderr, "reg_tool: cannot open %s or %s\n", argv[1], argv[2]);
    return 2;
  }
  int failures = 0;
  char line[16384];
  while (std::fgets(line, sizeof line, script)) {
    std::istringstream words(line);
    std::vector<std::string> word;
    for (std::string w; words >> w;) word.push_back(w);
    if (word.empty()) continue;
    std::string outcome = Run(word);
    failures += outcome == "bad command" || outcome.rfind("error", 0) == 0;
    std::fprintf(result, "%s\n", outcome.c_str());
  }
  std::fclose(script);
  std::fclose(result);
  return failures ? 1 : 0;
}
