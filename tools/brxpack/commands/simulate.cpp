// brxpack simulate: a package installed by the installer's own code over
// the host seam, on a copy of each installed release given, and each result
// compared with the release it should give.
#include <set>
#include <system_error>
#include <utility>

#include "brxpack/commands/command.h"
#include "brxpack/commands/simulate_report.h"
#include "brxpack/host/host_file_io.h"
#include "brxpack/host/host_path.h"
#include "brxpack/host/output_guard.h"
#include "brxpack/host/progress_meter.h"
#include "brxpack/host/scratch_folder.h"
#include "brxpack/manifest/payload_folder.h"
#include "brxpack/simulate/tree_comparison.h"

namespace brxpack {

namespace fs = std::filesystem;

namespace {

// Where one installation runs: the release itself, a new folder the user
// named, or a temporary one.
struct Workplace {
  fs::path path;
  std::optional<ScratchFolder> scratch;
};

// The bytes of the files below a folder; what cannot be read counts nothing.
uint64_t TreeBytes(const fs::path& folder) {
  uint64_t bytes = 0;
  std::error_code error;
  for (fs::recursive_directory_iterator walk(folder, error);
       !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
    std::error_code sized;
    if (walk->is_regular_file(sized)) bytes += walk->file_size(sized);
  }
  return bytes;
}

Result<Workplace> PrepareWorkplace(const SimulateOptions& options, const std::string& shown,
                                   const fs::path& installed, const fs::path& output,
                                   ProgressTarget progressTarget) {
  if (options.inPlace) return Workplace{installed, std::nullopt};
  Workplace place;
  std::error_code error;
  if (output.empty()) {
    Result<ScratchFolder> scratch = ScratchFolder::Create("brxpack-simulate-");
    if (!scratch.ok()) return scratch.TakeError();
    place.path = scratch->path();
    place.scratch.emplace(std::move(*scratch));
    if (options.keep) place.scratch->Keep();
  } else {
    place.path = output;
    const std::string outputShown = Utf8FromPath(output);
    if (LiesInside(place.path, installed)) {
      return Error{outputShown + ": lies inside " + shown + ", which is copied"};
    }
    if (fs::exists(place.path, error) && !fs::is_empty(place.path, error)) {
      return Error{outputShown + ": exists and is not empty; give a new or empty folder"};
    }
    fs::create_directories(place.path, error);
    if (error) return Error{outputShown + ": cannot make it: " + SystemErrorText(error)};
  }
  fs::path copy;
  // The total costs a walk of the release: only for a meter that draws.
  const uint64_t total = progressTarget.terminal != nullptr ? TreeBytes(installed) : 0;
  ProgressMeter progress(std::move(progressTarget), total);
  error = CopyHostFolder(installed, place.path, copy,
                         [&progress](uint64_t bytes) { progress.Advance(bytes); });
  progress.Finish();
  if (error) {
    return Error{shown + ": cannot copy it to " + Utf8FromPath(place.path) + " (at " +
                 Utf8FromPath(copy) + "): " + SystemErrorText(error)};
  }
  return place;
}

// The last name of a folder as given ("releases/1.1/" gives "1.1").
fs::path FolderName(const fs::path& folder) {
  fs::path path = fs::absolute(folder).lexically_normal();
  if (!path.has_filename()) path = path.parent_path();
  return path.filename();
}

// With several releases, --output holds one folder each, named after the
// release's own folder; two releases of one name would share it.
Result<std::vector<fs::path>> OutputFolders(const SimulateOptions& options) {
  std::vector<fs::path> outputs(options.installed.size(), options.output);
  if (options.output.empty() || outputs.size() == 1) return outputs;
  std::set<fs::path> names;
  for (size_t i = 0; i < outputs.size(); ++i) {
    const fs::path name = FolderName(options.installed[i]);
    if (name.empty() || !names.insert(name).second) {
      return Error{"--output " + Utf8FromPath(options.output) +
                   ": with several releases each goes to a folder named after its own, and " +
                   Utf8FromPath(options.installed[i]) +
                   " shares its name with another; simulate them apart"};
    }
    outputs[i] = options.output / name;
  }
  return outputs;
}

Status CheckOptions(const SimulateOptions& options) {
  std::vector<fs::path> folders = options.installed;
  if (!options.expect.empty()) folders.push_back(options.expect);
  for (const fs::path& folder : folders) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) return Error{Utf8FromPath(folder) + ": no such folder"};
  }
  if (options.levels.size() > 1 && options.levels.size() != options.installed.size()) {
    return Error{"--patch-level is given " + std::to_string(options.levels.size()) + " times for " +
                 std::to_string(options.installed.size()) +
                 " releases: give it once for all, or once per --installed"};
  }
  return Status::Ok();
}

Result<SimulatedRelease> Simulate(const SimulateOptions& options, size_t index,
                                  const fs::path& output, Console& console) {
  const fs::path& installed = options.installed[index];
  const std::string shown = Utf8FromPath(installed);
  Result<Workplace> place =
      PrepareWorkplace(options, shown, installed, output, ProgressOn(console, "copying " + shown));
  if (!place.ok()) return place.TakeError();
  SimulationSettings settings;
  settings.package = options.package;
  settings.target = place->path;
  settings.targetShown = shown;
  settings.program = options.program;
  settings.installedLevel = options.levels.empty()       ? 0
                            : options.levels.size() == 1 ? options.levels.front()
                                                         : options.levels[index];
  settings.cancel = options.answer == "cancel";
  settings.commandsFail = options.commands == "fail";
  settings.progress = ProgressOn(console, "installing on " + shown);
  Result<SimulationReport> report = SimulateInstallation(settings);
  if (!report.ok()) return report.TakeError();

  SimulatedRelease run{shown, Utf8FromPath(place->path), place->scratch.has_value(),
                       std::move(*report), std::nullopt};
  if (!options.expect.empty()) {
    Result<std::vector<std::string>> differences =
        CompareTrees(place->path, options.expect, IsAlwaysLeftOut);
    if (!differences.ok()) return differences.TakeError();
    run.differences = std::move(*differences);
  }
  return run;
}

int RunSimulate(const SimulateOptions& options, Console& console) {
  Status checked = CheckOptions(options);
  if (!checked.ok()) return Refuse(console, checked.error());
  Result<std::vector<fs::path>> outputs = OutputFolders(options);
  if (!outputs.ok()) return Refuse(console, outputs.error());

  std::vector<SimulatedRelease> runs;
  for (size_t i = 0; i < options.installed.size(); ++i) {
    Result<SimulatedRelease> run = Simulate(options, i, (*outputs)[i], console);
    if (!run.ok()) return Refuse(console, run.error());
    if (!options.json) {
      if (i > 0) console.out << "\n";
      PrintRunText(*run, options, console);
    }
    runs.push_back(std::move(*run));
  }
  if (options.json) {
    PrintRunsJson(runs, options, console);
  } else if (runs.size() > 1) {
    console.out << "\n";
    PrintVerdicts(runs, options, console);
  }
  return AllOk(runs) ? kExitOk : kExitRunFailed;
}

void AddOptions(CLI::App& parser, SimulateOptions& options) {
  AddPath(parser, "PACKAGE", options.package, "A package or a self-applying executable")
      ->required();
  OneValueEach(AddPaths(parser, "--installed", options.installed,
                        "An installed release (a folder); given again, one installation each"))
      ->required();
  parser.add_option("--program", options.program,
                    "The program file, below the release (default: the one .exe at its top)");
  CLI::Option* patchLevel = OneValueEach(parser.add_option(
      "--patch-level", options.levels,
      "The installed patch level (default 0); given once for every release, or once per "
      "--installed in its order"));
  // The first spelling, kept for scripts that use it; hidden, as it reads like
  // build's compression --level.
  OneValueEach(parser.add_option("--level", options.levels))->group("")->excludes(patchLevel);
  CLI::Option* output = AddPath(parser, "--output", options.output,
                                "Install into this new folder (default: a temporary one); with "
                                "several releases, into a folder below it named after each");
  parser.add_flag("--in-place", options.inPlace, "Install into the release folder itself")
      ->excludes(output);
  parser.add_flag("--keep", options.keep, "Keep the temporary folder and say where it is");
  parser.add_option("--answer", options.answer, "The answer to every question: ok or cancel")
      ->check(CLI::IsMember({"ok", "cancel"}));
  parser
      .add_option("--commands", options.commands,
                  "ok, or fail: every command reports failure as the installer sees it")
      ->check(CLI::IsMember({"ok", "fail"}));
  AddPath(parser, "--expect", options.expect,
          "The release the result must equal (files and contents; a .bak counts)");
  parser.add_flag("--json", options.json, "Print one JSON object: each installation's run");
}

}  // namespace

const Command kSimulateCommand{
    "simulate",
    "Install a package with the installer's own code on a copy of an installed release, "
    "Windows simulated: the registry finds the release, questions are answered, commands are "
    "listed, not run. Exit 0 when the run ends with the success text (and the result equals "
    "--expect), 1 otherwise.",
    Define<SimulateOptions, AddOptions, RunSimulate>};

}  // namespace brxpack
