// brxpack simulate: a package installed by the installer's own code over
// the host seam, on a copy of each installed release given, and each result
// compared with the release it should give; each run printed as the user
// would see it, one verdict line a release, or all of it as one JSON object.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <set>
#include <system_error>
#include <utility>

#include "brxpack/commands/command.h"
#include "brxpack/contents/display_text.h"
#include "brxpack/contents/windows1251.h"
#include "brxpack/host/byte_size.h"
#include "brxpack/host/host_file_io.h"
#include "brxpack/host/host_path.h"
#include "brxpack/host/json_writer.h"
#include "brxpack/host/output_guard.h"
#include "brxpack/host/progress_meter.h"
#include "brxpack/host/scratch_folder.h"
#include "brxpack/manifest/payload_folder.h"
#include "brxpack/simulate/installation_simulation.h"
#include "brxpack/simulate/tree_comparison.h"

namespace brxpack {

namespace fs = std::filesystem;

namespace {

struct SimulateOptions {
  std::filesystem::path package;
  std::vector<std::filesystem::path> installed;  // one installation each
  std::string program;  // UTF-8, below each installed release; empty: the one .exe at its top
  std::vector<int32_t> levels;   // none (0), one for all, or one per installed release
  std::filesystem::path output;  // empty: a temporary folder; with several, one below it each
  bool inPlace = false;
  bool keep = false;
  std::string answer = "ok";     // or "cancel"
  std::string commands = "ok";   // or "fail"
  std::filesystem::path expect;  // empty: no comparison
  bool json = false;
};

struct SimulatedRelease {
  std::string installed;   // the release as the publisher named it
  std::string place;       // where the installation ran (UTF-8)
  bool temporary = false;  // the place is a temporary folder, removed at the end unless kept
  SimulationReport report;
  std::optional<std::vector<std::string>> differences;  // with --expect: one line each

  // The run ended with the success text and, with --expect, gave that release.
  bool ok() const { return report.succeeded && (!differences || differences->empty()); }
};

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

constexpr char kIndent[] = "          ";

// A status text on its lines, the first behind the label.
void PrintStatus(const std::string& windows1251, Console& console) {
  std::string text = Windows1251ToUtf8(windows1251);
  const char* label = "status    ";
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    console.out << label << text.substr(start, end - start) << "\n";
    label = kIndent;
    start = end + 2;
  }
}

bool IsQuestion(const SeamEvent& event) {
  return (event.style & 0x0F) == brx::kMbOkCancel;
}

const char* Answer(const SeamEvent& event) {
  return event.answer == brx::kIdOk ? "OK" : "Cancel";
}

std::string DescribeCommand(const SeamEvent& event) {
  std::string text = PlainForDisplay(event.caption) + ", command line " +
                     QuotedForDisplay(event.text) + ", in " + PlainForDisplay(event.folder) + ": ";
  switch (event.fate) {
    case CommandFate::kNotStarted:
      return text + "cannot start (no such program or folder), as CreateProcess fails";
    case CommandFate::kUnchecked:
      text += "not run; outside the program's folder, taken as present";
      break;
    case CommandFate::kStarted:
      text += "not run";
      break;
  }
  return text + (event.reportsFailure ? "; reports failure (--commands fail)" : "");
}

void PrintEvents(const SimulationReport& report, Console& console) {
  for (const SeamEvent& event : report.events) {
    switch (event.kind) {
      case SeamEvent::Kind::kStatus:
        PrintStatus(event.text, console);
        break;
      case SeamEvent::Kind::kQuestion:
        console.out << (IsQuestion(event) ? "question  " : "message   ")
                    << QuotedForDisplay(event.caption) << ": " << QuotedForDisplay(event.text)
                    << " -> " << Answer(event) << "\n";
        break;
      case SeamEvent::Kind::kCommand:
        console.out << "command   " << DescribeCommand(event) << "\n";
        break;
    }
  }
}

std::string DescribeWrite(const RegistryWrite& write, const SimulationReport& report) {
  std::string text =
      std::string(write.root == brx::RegistryRoot::kCurrentUser ? "HKCU\\" : "HKLM\\") +
      PlainForDisplay(write.key);
  if (write.keyCreated) return text + ": key created";
  text +=
      ": " + (write.name.empty() ? std::string("(default)") : PlainForDisplay(write.name)) + " = ";
  if (write.type == brx::kRegDword && write.data.size() == 4) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(write.data[i]);
    text += "dword " + std::to_string(static_cast<int32_t>(value));
  } else if (write.type == brx::kRegSz) {
    text += "string " + QuotedForDisplay(write.data.substr(0, write.data.find('\0')));
  } else {
    text +=
        "type " + std::to_string(write.type) + ", " + std::to_string(write.data.size()) + " bytes";
  }
  const bool level = write.root == brx::RegistryRoot::kLocalMachine && report.levelValueName &&
                     FoldedName(write.key) == FoldedName(report.keyPath) &&
                     FoldedName(write.name) == FoldedName(*report.levelValueName);
  return text + (level ? " (the new patch level)" : "");
}

std::string LevelChange(const SimulationReport& report) {
  return "patch level " + std::to_string(report.installedLevel) +
         (report.finalLevel == report.installedLevel ? " kept"
                                                     : " -> " + std::to_string(report.finalLevel));
}

void WriteEvent(const SeamEvent& event, JsonWriter& json) {
  json.BeginObject();
  switch (event.kind) {
    case SeamEvent::Kind::kStatus:
      json.Field("kind", "status");
      json.Field("text", Windows1251ToUtf8(event.text));
      break;
    case SeamEvent::Kind::kQuestion:
      json.Field("kind", IsQuestion(event) ? "question" : "message");
      json.Field("caption", Windows1251ToUtf8(event.caption));
      json.Field("text", Windows1251ToUtf8(event.text));
      json.Field("answer", Answer(event));
      break;
    case SeamEvent::Kind::kCommand:
      json.Field("kind", "command");
      json.Field("text", DescribeCommand(event));
      break;
  }
  json.EndObject();
}

void WriteRun(const SimulatedRelease& run, const SimulateOptions& options, JsonWriter& json) {
  const SimulationReport& report = run.report;
  json.BeginObject();
  json.Field("installed", run.installed);
  json.Field("folder", run.place);
  json.Field("removed", run.temporary && !options.keep);
  json.Field("target", Windows1251ToUtf8(report.targetFolder));
  json.Field("program", Windows1251ToUtf8(report.programFile));
  json.Field("registryKey", report.keyPath.empty()
                                ? std::nullopt
                                : std::optional(Windows1251ToUtf8(report.keyPath)));
  json.Field("patchLevel", static_cast<int64_t>(report.installedLevel));
  json.Field("finalPatchLevel", static_cast<int64_t>(report.finalLevel));
  json.Key("events");
  json.BeginArray();
  for (const SeamEvent& event : report.events) WriteEvent(event, json);
  json.EndArray();
  std::vector<std::string> writes;
  for (const RegistryWrite& write : report.writes) writes.push_back(DescribeWrite(write, report));
  json.Field("registry", writes);
  json.Field("succeeded", report.succeeded);
  json.Field("equals", run.differences ? std::optional(run.differences->empty()) : std::nullopt);
  json.Field("differences", run.differences.value_or(std::vector<std::string>{}));
  json.Field("ok", run.ok());
  json.EndObject();
}

bool AllOk(const std::vector<SimulatedRelease>& runs) {
  return std::all_of(runs.begin(), runs.end(),
                     [](const SimulatedRelease& run) { return run.ok(); });
}

// The run's texts, boxes, commands and registry writes, its result and its
// comparison with --expect.
void PrintRunText(const SimulatedRelease& run, const SimulateOptions& options, Console& console) {
  const SimulationReport& report = run.report;
  console.out << "simulate  " << Utf8FromPath(options.package) << " on "
              << (options.inPlace ? "" : "a copy of ") << run.installed << " in " << run.place
              << (run.temporary ? (options.keep ? " (kept)" : " (removed at the end)") : "") << "\n"
              << "target    " << PlainForDisplay(report.targetFolder) << ", program "
              << PlainForDisplay(report.programFile) << ", patch level " << report.installedLevel;
  if (report.keyPath.empty()) {
    console.out << "; the package names no registry key (no usable :RegistryKeys)\n";
  } else {
    console.out << ", under HKLM\\" << PlainForDisplay(report.keyPath) << "\n";
  }
  PrintEvents(report, console);
  for (const RegistryWrite& write : report.writes) {
    console.out << "registry  " << DescribeWrite(write, report) << "\n";
  }
  console.out << "result    "
              << (report.succeeded ? "installed: the run ended with the success text"
                                   : "not installed: the run did not end with the success text")
              << "; " << LevelChange(report) << "\n";
  if (!run.differences) return;
  const bool matches = run.differences->empty();
  console.out << "expect    " << (matches ? "the result equals " : "the result differs from ")
              << Utf8FromPath(options.expect) << (matches ? "" : ":") << "\n";
  for (const std::string& line : *run.differences) console.out << kIndent << line << "\n";
}

// "release   1.0: installed, patch level 0 -> 3; the result equals 2.0".
void PrintVerdicts(const std::vector<SimulatedRelease>& runs, const SimulateOptions& options,
                   Console& console) {
  const std::string expect = Utf8FromPath(options.expect);
  for (const SimulatedRelease& run : runs) {
    console.out << "release   " << run.installed << ": "
                << (run.report.succeeded ? "installed" : "not installed") << ", "
                << LevelChange(run.report);
    if (run.differences) {
      const size_t count = run.differences->size();
      console.out << "; the result "
                  << (count == 0 ? "equals " + expect
                                 : "differs from " + expect + " (" +
                                       Counted(count, "difference", "differences") + ")");
    }
    console.out << "\n";
  }
}

void PrintRunsJson(const std::vector<SimulatedRelease>& runs, const SimulateOptions& options,
                   Console& console) {
  JsonWriter json(console.out);
  json.BeginObject();
  json.Field("package", Utf8FromPath(options.package));
  json.Field("expect",
             options.expect.empty() ? std::nullopt : std::optional(Utf8FromPath(options.expect)));
  json.Field("ok", AllOk(runs));
  json.Key("runs");
  json.BeginArray();
  for (const SimulatedRelease& run : runs) WriteRun(run, options, json);
  json.EndArray();
  json.EndObject();
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
