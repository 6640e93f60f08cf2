#pragma once
// The tool's commands. Each returns the process exit code (exit_codes.h)
// and prints its results and messages to the console.
#include <cstdint>
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
  std::string arch;    // "x86" or "x64"; empty: the manifest's [target] arch
  std::optional<int> level;
  bool zlib = false;  // zlib's deflate, to measure builds against it
  unsigned threads = kDefaultThreads;
  bool werror = false;  // warnings fail the build
  bool json = false;    // one JSON object instead of the summary lines
};
int RunBuild(const BuildOptions& options, Console& console);

struct ExeOptions {
  std::string package;
  std::string output;
  std::string stub;
  std::string arch;  // "x86" or "x64"; empty: x86
};
int RunExe(const ExeOptions& options, Console& console);

struct BrandOptions {
  std::string manifest;
  std::string output;
  std::string stub;
  std::string arch;  // "x86" or "x64"; empty: the manifest's [target] arch
};
int RunBrand(const BrandOptions& options, Console& console);

// The tool's version, and which stubs it would use with their versions.
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
  bool force = false;  // replace files that exist
};
int RunExtract(const ExtractOptions& options, Console& console);

struct ManifestOptions {
  std::string file;
  std::string output;               // empty: standard output
  std::string payload = "payload";  // the folder the manifest takes file bytes from
};
int RunManifest(const ManifestOptions& options, Console& console);

struct SimulateOptions {
  std::string package;
  std::vector<std::string> installed;  // one installation each
  std::string program;          // below each installed release; empty: the one .exe at its top
  std::vector<int32_t> levels;  // none (0), one for all, or one per installed release
  std::string output;           // empty: a temporary folder; with several, one below it each
  bool inPlace = false;
  bool keep = false;
  std::string answer = "ok";    // or "cancel"
  std::string commands = "ok";  // or "fail"
  std::string expect;           // empty: no comparison
  bool json = false;
};
int RunSimulate(const SimulateOptions& options, Console& console);

struct DiffOptions {
  std::vector<std::string> releases;  // the old releases, then NEW
  std::string output;                 // empty: standard output
  std::string base;                   // empty: no base manifest
  bool stats = false;
  unsigned threads = kDefaultThreads;  // for --stats
  std::vector<std::string> exclude;    // patterns, as [payload] exclude
  std::vector<std::string> include;
  bool symlinks = false;
  bool json = false;    // one JSON object: what changed, and where the manifest went
  bool werror = false;  // warnings fail the diff, and nothing is written
};
int RunDiff(const DiffOptions& options, Console& console);

}  // namespace brxpack
