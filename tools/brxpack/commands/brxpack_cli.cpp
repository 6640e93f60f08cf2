#include "brxpack/commands/brxpack_cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>

#include "brxpack/manifest/compression_level.h"
#include "brxpack/stub/stub_location.h"
#include "brxpack/commands/commands.h"
#include "brxpack/commands/exit_codes.h"
#include "brxpack/commands/refuse.h"
#include "brxpack/commands/unknown_option.h"
#include "brxpack/contents/closest_name.h"
#include "brxpack/host/host_path.h"
#include "brxpack/host/protected_files.h"
#include "brxpack/result.h"

namespace brxpack {

namespace {

constexpr char kDescription[] =
    "brxpack: authors packages for the Brindlex Updater and makes self-applying executables.\n"
    "Exit codes: 0 done, 1 verification found damage or a simulated installation failed, 2 bad "
    "use or bad input.";

// A list option given once per value ("--exclude A --exclude B"): without
// this CLI11 lets it swallow the positional folders that follow it.
CLI::Option* OneValueEach(CLI::Option* option) {
  return option->allow_extra_args(false);
}

// --arch, beside --stub wherever a stub is taken.
void AddArch(CLI::App& command, std::string& arch, const std::string& otherwise) {
  command
      .add_option("--arch", arch,
                  "The stub's architecture: x86, or x64 for a program that records itself in "
                  "the 64-bit registry view (default: " +
                      otherwise + ")")
      ->check(CLI::IsMember({"x86", "x64"}));
}

const std::vector<std::string> kCommands = {"build",   "exe",      "brand", "list",    "verify",
                                            "extract", "manifest", "diff",  "simulate"};

// Which command the arguments chose, with its options.
struct Choice {
  BuildOptions build;
  ExeOptions exe;
  BrandOptions brand;
  ListOptions list;
  VerifyOptions verify;
  ExtractOptions extract;
  ManifestOptions manifest;
  SimulateOptions simulate;
  DiffOptions diff;
  int level = -1;
  bool best = false;
  std::vector<int32_t> legacyLevels;  // simulate's hidden --level
  bool quiet = false;
};

void AddBuild(CLI::App& app, Choice& choice) {
  CLI::App* command = app.add_subcommand(
      "build",
      "Build a package from a manifest (UTF-8 TOML) and its payload; optionally the "
      "self-applying executable at once.");
  command->add_option("MANIFEST", choice.build.manifest, "The manifest file")->required();
  command->add_option("-o,--output", choice.build.output,
                      "The package file to write (default: the manifest's package.output, or "
                      "the manifest's name with .brx)");
  command->add_option("--exe", choice.build.exe,
                      "Also write the self-applying executable (with only --exe, no package "
                      "file is written)");
  command->add_option(
      "--stub", choice.build.stub,
      "The installer's program for --exe (default: the one brxpack --version names)");
  AddArch(*command, choice.build.arch, "the manifest's [target] arch, or x86");
  CLI::Option* level =
      command
          ->add_option("--level", choice.level,
                       "Compression level 0-12: 0 stores, 12 is the smallest and slowest "
                       "(default: the manifest's, or " +
                           std::to_string(kDefaultCompressionLevel) + ")")
          ->check(CLI::Range(0, kMaxCompressionLevel));
  command->add_flag("--best", choice.best, "Level 12, for release builds")->excludes(level);
  // The bench's baseline: not for publishers, so not in the help.
  command->add_flag("--zlib", choice.build.zlib)->group("");
  command->add_option("--jobs", choice.build.threads, "Threads that compress entries (default 2)")
      ->check(CLI::Range(1, 64));
  command->add_flag("--werror", choice.build.werror, "Treat warnings as errors");
  command->add_flag("--json", choice.build.json,
                    "Print one JSON object of what was written (see the README)");
}

void AddExe(CLI::App& app, Choice& choice) {
  CLI::App* command = app.add_subcommand(
      "exe",
      "Make the self-applying executable from a package: stub, package and trailer, as "
      "'PATCH.EXE PACKAGE OUT.exe MAKEEXE' does; a signed stub loses its signature first.");
  command->add_option("PACKAGE", choice.exe.package, "The package file")->required();
  command->add_option("-o,--output", choice.exe.output, "The executable to write")->required();
  command->add_option("--stub", choice.exe.stub,
                      "The installer's program (default: the one brxpack --version names)");
  AddArch(*command, choice.exe.arch, "x86");
}

void AddBrand(CLI::App& app, Choice& choice) {
  CLI::App* command = app.add_subcommand(
      "brand",
      "Write the installer's program with the manifest's [brand]: the publisher's version "
      "information and icon, for exe --stub and for its own MAKEEXE (build --exe applies the "
      "brand by itself).");
  command->add_option("MANIFEST", choice.brand.manifest, "The manifest file")->required();
  command->add_option("-o,--output", choice.brand.output, "The program to write")->required();
  command->add_option("--stub", choice.brand.stub,
                      "The installer's program (default: the one brxpack --version names)");
  AddArch(*command, choice.brand.arch, "the manifest's [target] arch, or x86");
}

void AddReaders(CLI::App& app, Choice& choice) {
  CLI::App* list = app.add_subcommand(
      "list", "Show a package's or self-applying executable's header, entries and sections.");
  list->add_option("FILE", choice.list.file, "A package or a self-applying executable")->required();
  list->add_flag("--json", choice.list.json, "Print one JSON object (see the README)");

  CLI::App* verify = app.add_subcommand(
      "verify",
      "Check packages or self-applying executables as the installer reads them, and more: "
      "every entry's bytes and checksum, every section's form and paths, installed paths, "
      "the signature's digest. Exit 0 when all are clean, 1 when one is damaged.");
  verify->add_option("FILE", choice.verify.files, "Packages or self-applying executables")
      ->required();
  verify->add_flag("--json", choice.verify.json, "Print one JSON object (see the README)");

  CLI::App* extract = app.add_subcommand(
      "extract",
      "Write the file entries under their installed names below a folder; a package with "
      "an installed path the installer must not use is refused whole.");
  extract->add_option("FILE", choice.extract.file, "A package or a self-applying executable")
      ->required();
  extract->add_option("-C,--folder", choice.extract.folder, "The folder (default: .)");
  extract->add_option("--jobs", choice.extract.threads, "Threads that extract (default 2)")
      ->check(CLI::Range(1, 64));
  extract->add_flag("--force", choice.extract.force,
                    "Replace files that exist (without it, any existing file refuses the whole "
                    "extraction before anything is written)");

  CLI::App* manifest = app.add_subcommand(
      "manifest",
      "Print a manifest that rebuilds an equivalent package from the files that extract "
      "writes.");
  manifest->add_option("FILE", choice.manifest.file, "A package or a self-applying executable")
      ->required();
  manifest->add_option("-o,--output", choice.manifest.output,
                       "Write the manifest to this file instead of printing it");
  manifest->add_option("--payload", choice.manifest.payload,
                       "The folder, relative to the manifest, that holds the extracted files "
                       "(default: payload)");
}

void AddDiff(CLI::App& app, Choice& choice) {
  DiffOptions& diff = choice.diff;
  CLI::App* command = app.add_subcommand(
      "diff",
      "Write the manifest of the update from one or several release folders to the next: NEW's "
      "files that an old release lacks or holds otherwise, the files and folders NEW lacks "
      "removed, new empty folders created; names matched as Windows matches them, contents "
      "byte for byte. One update takes every old release given to NEW.");
  command
      ->add_option("RELEASES", diff.releases,
                   "OLD... NEW: the installed releases, then the release the update brings, "
                   "last (folders)")
      ->required();
  command->add_option("-o,--output", diff.output,
                      "Write the manifest to this file instead of printing it");
  command->add_option("--base", diff.base,
                      "A manifest with what two folders cannot say ([target], [startup], "
                      "commands, registry values, [brand]), merged in");
  command->add_flag("--stats", diff.stats,
                    "Print counts and bytes, and the package's size against a full package of "
                    "NEW; with several old releases, what the update does to each and its size "
                    "against an update from that release alone");
  command->add_option("--jobs", diff.threads, "Threads that compress for --stats (default 2)")
      ->check(CLI::Range(1, 64));
  OneValueEach(command->add_option(
      "--exclude", diff.exclude,
      "A pattern of files every release leaves out, as [payload] exclude; once per pattern"));
  OneValueEach(command->add_option(
      "--include", diff.include,
      "A pattern of files taken even when excluded, as [payload] include; once per pattern"));
  command->add_flag("--symlinks", diff.symlinks,
                    "Take the files symbolic links point to; else a link is an error");
  command->add_flag("--json", diff.json,
                    "Print one JSON object: what the update does to each old release, and the "
                    "manifest (see the README)");
  command->add_flag("--werror", diff.werror, "Treat warnings as errors; nothing is written");
}

void AddSimulate(CLI::App& app, Choice& choice) {
  SimulateOptions& simulate = choice.simulate;
  CLI::App* command = app.add_subcommand(
      "simulate",
      "Install a package with the installer's own code on a copy of an installed release, "
      "Windows simulated: the registry finds the release, questions are answered, commands are "
      "listed, not run. Exit 0 when the run ends with the success text (and the result equals "
      "--expect), 1 otherwise.");
  command->add_option("PACKAGE", simulate.package, "A package or a self-applying executable")
      ->required();
  OneValueEach(
      command->add_option("--installed", simulate.installed,
                          "An installed release (a folder); given again, one installation each"))
      ->required();
  command->add_option("--program", simulate.program,
                      "The program file, below the release (default: the one .exe at its top)");
  CLI::Option* patchLevel = OneValueEach(command->add_option(
      "--patch-level", simulate.levels,
      "The installed patch level (default 0); given once for every release, or once per "
      "--installed in its order"));
  // The first spelling, kept for scripts that use it; hidden, as it reads like
  // build's compression --level.
  OneValueEach(command->add_option("--level", choice.legacyLevels))
      ->group("")
      ->excludes(patchLevel);
  CLI::Option* output =
      command->add_option("--output", simulate.output,
                          "Install into this new folder (default: a temporary one); with "
                          "several releases, into a folder below it named after each");
  command->add_flag("--in-place", simulate.inPlace, "Install into the release folder itself")
      ->excludes(output);
  command->add_flag("--keep", simulate.keep, "Keep the temporary folder and say where it is");
  command->add_option("--answer", simulate.answer, "The answer to every question: ok or cancel")
      ->check(CLI::IsMember({"ok", "cancel"}));
  command
      ->add_option("--commands", simulate.commands,
                   "ok, or fail: every command reports failure as the installer sees it")
      ->check(CLI::IsMember({"ok", "fail"}));
  command->add_option("--expect", simulate.expect,
                      "The release the result must equal (files and contents; a .bak counts)");
  command->add_flag("--json", simulate.json, "Print one JSON object: each installation's run");
}

// The first word must be a command; a near miss is named.
std::optional<std::string> UnknownCommand(const std::vector<std::string>& arguments) {
  if (arguments.empty() || arguments[0].empty() || arguments[0][0] == '-') return std::nullopt;
  const std::string& word = arguments[0];
  if (std::find(kCommands.begin(), kCommands.end(), word) != kCommands.end()) return std::nullopt;
  if (const std::optional<std::string> closest = ClosestName(word, kCommands))
    return "'" + word + "' is not a command; did you mean " + *closest + "?";
  return "'" + word +
         "' is not a command; the commands are build, exe, brand, list, verify, extract, "
         "manifest, diff and simulate (brxpack --help)";
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

int Run(const std::string& chosen, Choice& choice, Console& console) {
  if (chosen == "build") {
    if (choice.level >= 0) choice.build.level = choice.level;
    if (choice.best) choice.build.level = kMaxCompressionLevel;
    return RunBuild(choice.build, console);
  }
  if (chosen == "exe") return RunExe(choice.exe, console);
  if (chosen == "brand") return RunBrand(choice.brand, console);
  if (chosen == "list") return RunList(choice.list, console);
  if (chosen == "verify") return RunVerify(choice.verify, console);
  if (chosen == "extract") return RunExtract(choice.extract, console);
  if (chosen == "simulate") {
    if (!choice.legacyLevels.empty()) choice.simulate.levels = choice.legacyLevels;
    return RunSimulate(choice.simulate, console);
  }
  if (chosen == "diff") return RunDiff(choice.diff, console);
  return RunManifest(choice.manifest, console);
}

// The stubs this tool finds by itself and the one given with --stub: no
// output of this command may land on them.
void ProtectStubsInUse(const Choice& choice) {
  for (const StubArch arch : {StubArch::kX86, StubArch::kX64}) {
    for (const std::filesystem::path& stub : StubCandidates(arch)) {
      ProtectFromOutputs(stub, "the installer's program brxpack uses");
    }
  }
  for (const std::string* given : {&choice.build.stub, &choice.exe.stub, &choice.brand.stub}) {
    if (!given->empty()) ProtectFromOutputs(PathFromUtf8(*given), "the stub given with --stub");
  }
}

}  // namespace

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
  Choice choice;
  app.add_flag("-q,--quiet", choice.quiet,
               "Print only results, warnings and errors: no summaries, notes or progress");
  AddBuild(app, choice);
  AddExe(app, choice);
  AddBrand(app, choice);
  AddReaders(app, choice);
  AddDiff(app, choice);
  AddSimulate(app, choice);

  // CLI11 takes the arguments last one first.
  std::vector<std::string> reversed(split->rbegin(), split->rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp& help) {
    return app.exit(help, console.out, console.err) == 0 ? kExitOk : kExitBadInput;
  } catch (const CLI::CallForAllHelp& help) {
    return app.exit(help, console.out, console.err) == 0 ? kExitOk : kExitBadInput;
  } catch (const CLI::CallForVersion&) {
    console.out << VersionReport() << "\n";
    return kExitOk;
  } catch (const CLI::ParseError& error) {
    const std::string command = split->empty() || (*split)[0].starts_with('-') ? "" : (*split)[0];
    const std::string reason = UnknownOption(app, command, *split).value_or(error.what());
    return Refuse(console,
                  reason + " (brxpack " + (command.empty() ? "" : command + " ") + "--help)");
  }
  console.quiet = choice.quiet;
  const OutputProtectionScope protection;
  ProtectStubsInUse(choice);
  return Run(app.get_subcommands().front()->get_name(), choice, console);
}

}  // namespace brxpack
