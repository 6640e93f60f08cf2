#pragma once
// A fresh folder for one brxpack test, removed at its end, with helpers to
// write and read files in it, to compose packages (with the tests' own
// builder, independent of brxpack's writer) and to run the tool as its
// command line would.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "brxpack/commands/brxpack_cli.h"
#include "support/package_samples.h"

namespace brxpack::test {

class Workspace {
 public:
  Workspace() {
    std::string pattern = (std::filesystem::temp_directory_path() / "brxpack-XXXXXX").string();
    const char* made = mkdtemp(pattern.data());
    EXPECT_NE(made, nullptr);
    root_ = pattern;
  }
  ~Workspace() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  std::filesystem::path Path(const std::string& relative) const { return root_ / relative; }
  std::string Text(const std::string& relative) const { return Path(relative).string(); }

  void Write(const std::string& relative, const std::string& bytes) const {
    const std::filesystem::path path = Path(relative);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
  }
  void Write(const std::string& relative, const std::vector<uint8_t>& bytes) const {
    Write(relative, std::string(bytes.begin(), bytes.end()));
  }
  std::string Read(const std::string& relative) const {
    std::ifstream stream(Path(relative), std::ios::binary);
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
  }
  std::vector<uint8_t> ReadBytes(const std::string& relative) const {
    const std::string text = Read(relative);
    return std::vector<uint8_t>(text.begin(), text.end());
  }
  bool Exists(const std::string& relative) const { return std::filesystem::exists(Path(relative)); }
  // Every file below the workspace, as paths relative to it.
  std::vector<std::string> Files() const {
    std::vector<std::string> files;
    for (const auto& item : std::filesystem::recursive_directory_iterator(root_)) {
      if (item.is_regular_file()) files.push_back(item.path().lexically_relative(root_).string());
    }
    std::sort(files.begin(), files.end());
    return files;
  }

 private:
  std::filesystem::path root_;
};

inline std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

using brx::test::EntryStorage;
using brx::test::PackageEntrySource;

// A package with a compressed directory.
inline std::vector<uint8_t> PackageOf(const std::vector<PackageEntrySource>& entries) {
  return brx::test::WriteTestPackage(entries, true);
}

// Every "@" in a text names the workspace's folder.
inline std::string Placed(const Workspace& workspace, const std::string& text) {
  std::string placed;
  for (const char c : text) placed += c == '@' ? workspace.Text("") : std::string(1, c);
  return placed;
}

struct ToolRun {
  int code;
  std::string out;
  std::string err;
};

// Runs brxpack with these arguments (the program's name is added), its
// messages going to a terminal when `terminal` says so.
inline ToolRun RunTool(const std::vector<std::string>& arguments, bool terminal = false) {
  std::vector<std::string> all = {"brxpack"};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::ostringstream out;
  std::ostringstream err;
  Console console{out, err, terminal};
  const int code = RunBrxpack(all, console);
  return {code, out.str(), err.str()};
}

}  // namespace brxpack::test
