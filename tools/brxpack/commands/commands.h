#pragma once
// The tool's commands. Each returns the process exit code (exit_codes.h)
// and prints its results and messages to the console.
#include <optional>
#include <string>
#include <vector>

#include "brxpack/host/console.h"

namespace brxpack {

inline constexpr unsigned kDefaultThreads = 2;

struct BuildOptions {
  std::string manifest;
  std::string output;  // empty: the manifest's package.output, or the manifest's name with .brx
  std::string exe;     // empty: no self-applying executable
  std::string stub;    // empty: PATCH.EXE beside the tool
  std::optional<int> level;
  bool zlib = false;  // zlib's deflate, to measure builds against it
  unsigned threads = kDefaultThreads;
  bool werror = false;  // warnings fail the build
};
int RunBuild(const BuildOptions& options, Console& console);

struct ExeOptions {
  std::string package;
  std::string output;
  std::string stub;
};
int RunExe(const ExeOptions& options, Console& console);

struct BrandOptions {
  std::string manifest;
  std::string output;
  std::string stub;
};
int RunBrand(const BrandOptions& options, Console& console);

// The tool's version, and which stub it would use with its version.
std::string VersionReport();

struct ListOptions {
  std::string file;
  bool json = false;
};
int RunList(const ListOptions& options, Console& console);

struct VerifyOptions {
  std::vector<std::string> files;
  bool json = false;
};
int RunVerify(const VerifyOptions& options, Console& console);

struct ExtractOptions {
  std::string file;
  std::string folder = ".";
  unsigned threads = kDefaultThreads;
};
int RunExtract(const ExtractOptions& options, Console& console);

struct ManifestOptions {
  std::string file;
  std::string output;               // empty: standard output
  std::string payload = "payload";  // the folder the manifest takes file bytes from
};
int RunManifest(const ManifestOptions& options, Console& console);

}  // namespace brxpack
