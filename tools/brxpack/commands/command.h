#pragma once
// One command of the tool, declared whole in its own file: the name and
// summary the help lists, its options with their help lines, and what runs
// once they are parsed. brxpack_cli.cpp lists the commands and parses for
// them all.
#include <CLI/CLI.hpp>
#include <functional>
#include <memory>
#include <string>

#include "brxpack/host/console.h"
#include "brxpack/host/host_path.h"

namespace brxpack {

inline constexpr unsigned kDefaultThreads = 2;

// How a command ends.
inline constexpr int kExitOk = 0;
inline constexpr int kExitDamaged = 1;    // verification found damage
inline constexpr int kExitRunFailed = 1;  // a simulated installation failed or gave another result
inline constexpr int kExitBadInput = 2;   // bad use, or input that cannot be used

// Prints the reason on the error stream, each of its lines behind
// "brxpack: ", and gives the exit code (bad input unless said otherwise).
int Refuse(Console& console, const std::string& reason, int exitCode = kExitBadInput);

// Prints "brxpack: warning: " and the text on the error stream.
void Warn(Console& console, const std::string& text);

// Runs the command with the options parsed; gives the exit code.
using CommandRun = std::function<int(Console&)>;

struct Command {
  const char* name;
  const char* summary;
  // Adds the command's options to `parser`, bound to what the run reads.
  CommandRun (*define)(CLI::App& parser);
};

// The `define` of a command whose options, held in `Options`, are added to
// the parser by `add` and read by `run`.
template <typename Options, void (*add)(CLI::App&, Options&), int (*run)(const Options&, Console&)>
CommandRun Define(CLI::App& parser) {
  auto options = std::make_shared<Options>();
  add(parser, *options);
  return [options](Console& console) { return run(*options, console); };
}

extern const Command kBuildCommand, kExeCommand, kBrandCommand, kListCommand, kVerifyCommand,
    kExtractCommand, kManifestCommand, kDiffCommand, kSimulateCommand;

// A list option given once per value ("--exclude A --exclude B"): without
// this CLI11 lets it swallow the positionals that follow it.
inline CLI::Option* OneValueEach(CLI::Option* option) {
  return option->allow_extra_args(false);
}

// A path option: UTF-8 on the command line (process_environment.h), a path
// from there on; a list option takes each value so.
inline CLI::Option* AddPath(CLI::App& parser, const std::string& name, std::filesystem::path& path,
                            const std::string& help) {
  return parser.add_option_function<std::string>(
      name, [&path](const std::string& utf8) { path = PathFromUtf8(utf8); }, help);
}
inline CLI::Option* AddPaths(CLI::App& parser, const std::string& name,
                             std::vector<std::filesystem::path>& paths, const std::string& help) {
  return parser.add_option_function<std::vector<std::string>>(
      name,
      [&paths](const std::vector<std::string>& utf8) {
        paths.clear();
        for (const std::string& each : utf8) paths.push_back(PathFromUtf8(each));
      },
      help);
}

// --stub and --arch, which every command that makes an executable takes;
// brxpack_cli.cpp protects the stub given from the command's outputs.
struct StubOptions {
  std::filesystem::path stub;  // empty: the one brxpack --version names
  std::string arch;            // "x86" or "x64"; empty: `archDefault` below
};
// `use`: what the stub is for, when the command says it (" for --exe").
inline void AddStubOptions(CLI::App& parser, StubOptions& options, const std::string& use,
                           const std::string& archDefault) {
  AddPath(parser, "--stub", options.stub,
          "The installer's program" + use + " (default: the one brxpack --version names)");
  parser
      .add_option("--arch", options.arch,
                  "The stub's architecture: x86, or x64 for a program that records itself in "
                  "the 64-bit registry view (default: " +
                      archDefault + ")")
      ->check(CLI::IsMember({"x86", "x64"}));
}

}  // namespace brxpack
