#include "brxpack/commands/brxpack_cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <string_view>

#include "brx_version.h"
#include "brxpack/commands/command.h"
#include "brxpack/contents/closest_name.h"
#include "brxpack/host/host_path.h"
#include "brxpack/host/mapped_file.h"
#include "brxpack/host/output_guard.h"
#include "brxpack/result.h"
#include "brxpack/stub/stub_file.h"

namespace brxpack {

namespace {

// Nothing for a stub of the architecture its place holds; else why it is
// not one.
std::string Mismatch(const std::filesystem::path& stub, StubArch arch) {
  Result<MappedFile> file = MappedFile::Open(stub);
  if (!file.ok() || !file->FitsIn32Bits()) return "";  // StubVersion has said why
  const Result<StubArch> found = ArchOfImage(file->range());
  if (!found.ok()) return "; but it is no stub: " + found.error();
  if (*found != arch) return "; but it is " + DescribeArch(*found);
  return "";
}

// "stub x64: PATH, version 1.1.0.0", or why there is none or it is no x64 stub.
std::string StubLine(StubArch arch) {
  const std::string line = std::string("stub ") + ArchName(arch) + ": ";
  const Result<std::filesystem::path> stub = FindStub(arch);
  if (!stub.ok()) return line + stub.error();
  const Result<std::string> version = StubVersion(*stub);
  return line + Utf8FromPath(*stub) + ", " +
         (version.ok() ? "version " + *version : "version unknown: " + version.error()) +
         Mismatch(*stub, arch);
}

// The tool's version, and which stubs it would use with their versions.
std::string VersionReport() {
  return "brxpack " BRX_VERSION_TEXT "\n" + StubLine(StubArch::kX86) + "\n" +
         StubLine(StubArch::kX64);
}

constexpr char kDescription[] =
    "brxpack: authors packages for the Brindlex Updater and makes self-applying executables.\n"
    "Exit codes: 0 done, 1 verification found damage or a simulated installation failed, 2 bad "
    "use or bad input.";

// The help lists the commands in this order.
const Command* const kCommands[] = {&kBuildCommand,    &kExeCommand,    &kBrandCommand,
                                    &kListCommand,     &kVerifyCommand, &kExtractCommand,
                                    &kManifestCommand, &kDiffCommand,   &kSimulateCommand};

// The first word must be a command; a near miss is named.
std::optional<std::string> UnknownCommand(const std::vector<std::string>& arguments) {
  if (arguments.empty() || arguments[0].empty() || arguments[0][0] == '-') return std::nullopt;
  const std::string& word = arguments[0];
  std::vector<std::string> names;
  for (const Command* command : kCommands) names.push_back(command->name);
  if (std::find(names.begin(), names.end(), word) != names.end()) return std::nullopt;
  if (const std::optional<std::string> closest = ClosestName(word, names))
    return "'" + word + "' is not a command; did you mean " + *closest + "?";
  std::string listed;
  for (size_t i = 0; i < names.size(); ++i) {
    listed += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
  }
  return "'" + word + "' is not a command; the commands are " + listed + " (brxpack --help)";
}

bool LooksLikeOption(const std::string& argument) {
  if (argument.size() < 2 || argument[0] != '-') return false;
  return argument[1] == '-' || std::isalpha(static_cast<unsigned char>(argument[1]));
}

// The first argument that looks like an option but is none of the chosen
// command's (command empty: the tool's own, as --version), said with the
// nearest visible option's name ("--bets": "--best"); none when every
// option is known.
std::optional<std::string> UnknownOption(CLI::App& app, const std::string& command,
                                         const std::vector<std::string>& arguments) {
  std::vector<std::string> all;      // every spelling taken, hidden ones too
  std::vector<std::string> visible;  // the ones worth suggesting
  const auto addNames = [&all, &visible](const CLI::App& parser) {
    for (const CLI::Option* option : parser.get_options()) {
      for (const std::string& name : option->get_lnames()) {
        all.push_back("--" + name);
        if (!option->get_group().empty()) visible.push_back("--" + name);
      }
      for (const std::string& name : option->get_snames()) all.push_back("-" + name);
    }
  };
  addNames(app);
  if (!command.empty()) {
    if (const CLI::App* chosen = app.get_subcommand_ptr(command).get()) addNames(*chosen);
  }
  for (const std::string& argument : arguments) {
    if (argument == "--") break;  // the rest are values
    if (!LooksLikeOption(argument)) continue;
    const std::string name = argument.substr(0, argument.find('='));
    if (std::find(all.begin(), all.end(), name) != all.end()) continue;
    // "-qo": several short flags at once are CLI11's to judge.
    if (name[1] != '-' && name.size() > 2) continue;
    return name + " is not an option of brxpack" + (command.empty() ? "" : " " + command) +
           DidYouMean(name, visible);
  }
  return std::nullopt;
}

// "brxpack help [COMMAND]" is "brxpack [COMMAND] --help", as in git.
std::vector<std::string> HelpAsOption(std::vector<std::string> arguments) {
  if (arguments.empty() || arguments[0] != "help") return arguments;
  arguments.erase(arguments.begin());
  arguments.insert(arguments.begin() + (arguments.empty() ? 0 : 1), "--help");
  return arguments;
}

// "-o=FILE" means "-o FILE", as publishers write it in other tools; an
// empty value is refused rather than taken for a file named "".
Result<std::vector<std::string>> SplitShortOptions(const std::vector<std::string>& arguments) {
  std::vector<std::string> split;
  for (const std::string& argument : arguments) {
    const bool shortWithValue =
        argument.size() >= 3 && argument[0] == '-' && argument[1] != '-' && argument[2] == '=';
    if (!shortWithValue) {
      split.push_back(argument);
      continue;
    }
    if (argument.size() == 3) return Error{argument + " gives no value"};
    split.push_back(argument.substr(0, 2));
    split.push_back(argument.substr(3));
  }
  return split;
}

// The stubs this tool finds by itself and the one given with the command's
// --stub: no output of the command may land on them.
void ProtectStubsInUse(const CLI::App& command) {
  for (const StubArch arch : {StubArch::kX86, StubArch::kX64}) {
    for (const std::filesystem::path& stub : StubCandidates(arch)) {
      ProtectFromOutputs(stub, "the installer's program brxpack uses");
    }
  }
  const CLI::Option* given = command.get_option_no_throw("--stub");
  if (given != nullptr && given->count() > 0 && !given->as<std::string>().empty()) {
    ProtectFromOutputs(PathFromUtf8(given->as<std::string>()), "the stub given with --stub");
  }
}

}  // namespace

int Refuse(Console& console, const std::string& reason, int exitCode) {
  std::string_view rest = reason;
  for (;;) {
    const size_t end = rest.find('\n');
    console.err << "brxpack: " << rest.substr(0, end) << "\n";
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return exitCode;
}

void Warn(Console& console, const std::string& text) {
  console.err << "brxpack: warning: " << text << "\n";
}

int RunBrxpack(const std::vector<std::string>& arguments, Console& console) {
  const std::vector<std::string> given =
      HelpAsOption({arguments.begin() + (arguments.empty() ? 0 : 1), arguments.end()});
  if (std::optional<std::string> unknown = UnknownCommand(given)) return Refuse(console, *unknown);
  Result<std::vector<std::string>> split = SplitShortOptions(given);
  if (!split.ok()) return Refuse(console, split.error());

  CLI::App app(kDescription, "brxpack");
  app.require_subcommand(1);
  app.fallthrough();
  app.set_version_flag("--version", VersionReport,
                       "Print the tool's version and the installer's programs (stubs) it would "
                       "use");
  app.add_flag("-q,--quiet", console.quiet,
               "Print only results, warnings and errors: no summaries, notes or progress");
  std::vector<std::pair<CLI::App*, CommandRun>> commands;
  for (const Command* command : kCommands) {
    CLI::App* parser = app.add_subcommand(command->name, command->summary);
    commands.emplace_back(parser, command->define(*parser));
  }

  // CLI11 takes the arguments last one first.
  std::vector<std::string> reversed(split->rbegin(), split->rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp& help) {
    app.exit(help, console.out, console.err);  // the help, on the standard output
    return kExitOk;
  } catch (const CLI::CallForVersion&) {
    console.out << VersionReport() << "\n";
    return kExitOk;
  } catch (const CLI::ParseError& error) {
    const std::string command = split->empty() || (*split)[0].starts_with('-') ? "" : (*split)[0];
    const std::string reason = UnknownOption(app, command, *split).value_or(error.what());
    return Refuse(console,
                  reason + " (brxpack " + (command.empty() ? "" : command + " ") + "--help)");
  }
  const OutputProtectionScope protection;
  for (const auto& [parser, run] : commands) {
    if (!parser->parsed()) continue;
    ProtectStubsInUse(*parser);
    return run(console);
  }
  return kExitBadInput;  // require_subcommand(1) leaves no way here
}

}  // namespace brxpack
