// brxpack simulate: a package installed by the installer's own code over
// the host seam, on a copy of an installed release, and the result compared
// with the release it should give.
#include <system_error>

#include "brxpack/authoring/output_guard.h"
#include "brxpack/commands/commands.h"
#include "brxpack/commands/exit_codes.h"
#include "brxpack/commands/refuse.h"
#include "brxpack/contents/display_text.h"
#include "brxpack/contents/folded_name.h"
#include "brxpack/contents/windows1251.h"
#include "brxpack/host/host_path.h"
#include "brxpack/host/scratch_folder.h"
#include "brxpack/host/tree_comparison.h"
#include "brxpack/reading/installation_simulation.h"

namespace brxpack {

namespace fs = std::filesystem;

namespace {

constexpr char kIndent[] = "          ";

// Where the installation runs: the release itself, a new folder the user
// named, or a temporary one.
struct Workplace {
  fs::path path;
  std::optional<ScratchFolder> scratch;
};

Result<Workplace> PrepareWorkplace(const SimulateOptions& options, const fs::path& installed) {
  Workplace place;
  if (options.inPlace) {
    place.path = installed;
    return place;
  }
  std::error_code error;
  if (options.output.empty()) {
    Result<ScratchFolder> scratch = ScratchFolder::Create("brxpack-simulate-");
    if (!scratch.ok()) return scratch.TakeError();
    place.path = scratch->path();
    place.scratch.emplace(std::move(*scratch));
    if (options.keep) place.scratch->Keep();
  } else {
    place.path = PathFromUtf8(options.output);
    if (LiesInside(place.path, installed)) {
      return Error{options.output + ": lies inside " + options.installed + ", which is copied"};
    }
    if (fs::exists(place.path, error) && !fs::is_empty(place.path, error)) {
      return Error{options.output + ": exists and is not empty; give a new or empty folder"};
    }
    fs::create_directories(place.path, error);
    if (error) return Error{options.output + ": cannot make it: " + SystemErrorText(error)};
  }
  // Entry by entry: a recursive fs::copy into an existing folder fails on
  // some standard libraries.
  fs::recursive_directory_iterator walk(installed, error);
  for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
    const fs::path copy = place.path / walk->path().lexically_relative(installed);
    if (walk->is_directory(error)) {
      fs::create_directory(copy, error);
    } else if (!error) {
      fs::copy_file(walk->path(), copy, error);
    }
  }
  if (error) {
    return Error{options.installed + ": cannot copy it to " + Utf8FromPath(place.path) + ": " +
                 SystemErrorText(error)};
  }
  return place;
}

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
        console.out << ((event.style & 0x0F) == brx::kMbOkCancel ? "question  " : "message   ")
                    << QuotedForDisplay(event.caption) << ": " << QuotedForDisplay(event.text)
                    << " -> " << (event.answer == brx::kIdOk ? "OK" : "Cancel") << "\n";
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

}  // namespace

int RunSimulate(const SimulateOptions& options, Console& console) {
  const fs::path installed = PathFromUtf8(options.installed);
  std::error_code error;
  if (!fs::is_directory(installed, error))
    return Refuse(console, options.installed + ": no such folder");
  if (!options.expect.empty() && !fs::is_directory(PathFromUtf8(options.expect), error)) {
    return Refuse(console, options.expect + ": no such folder");
  }
  Result<Workplace> place = PrepareWorkplace(options, installed);
  if (!place.ok()) return Refuse(console, place.error());

  SimulationSettings settings;
  settings.package = PathFromUtf8(options.package);
  settings.target = place->path;
  settings.targetShown = options.installed;
  settings.program = options.program;
  settings.installedLevel = options.level;
  settings.cancel = options.answer == "cancel";
  settings.commandsFail = options.commands == "fail";
  Result<SimulationReport> report = SimulateInstallation(settings);
  if (!report.ok()) return Refuse(console, report.error());

  console.out << "simulate  " << options.package << " on " << (options.inPlace ? "" : "a copy of ")
              << options.installed << " in " << Utf8FromPath(place->path)
              << (place->scratch ? (options.keep ? " (kept)" : " (removed at the end)") : "")
              << "\n"
              << "target    " << PlainForDisplay(report->targetFolder) << ", program "
              << PlainForDisplay(report->programFile) << ", patch level " << report->installedLevel;
  if (report->keyPath.empty()) {
    console.out << "; the package names no registry key (no usable :RegistryKeys)\n";
  } else {
    console.out << ", under HKLM\\" << PlainForDisplay(report->keyPath) << "\n";
  }
  PrintEvents(*report, console);
  for (const RegistryWrite& write : report->writes) {
    console.out << "registry  " << DescribeWrite(write, *report) << "\n";
  }
  console.out << "result    "
              << (report->succeeded ? "installed: the run ended with the success text"
                                    : "not installed: the run did not end with the success text")
              << "; patch level " << report->installedLevel
              << (report->finalLevel == report->installedLevel
                      ? " kept"
                      : " -> " + std::to_string(report->finalLevel))
              << "\n";

  bool matches = true;
  if (!options.expect.empty()) {
    Result<std::vector<std::string>> differences =
        CompareTrees(place->path, PathFromUtf8(options.expect));
    if (!differences.ok()) return Refuse(console, differences.error());
    matches = differences->empty();
    console.out << "expect    " << (matches ? "the result equals " : "the result differs from ")
                << options.expect << (matches ? "" : ":") << "\n";
    for (const std::string& line : *differences) console.out << kIndent << line << "\n";
  }
  return report->succeeded && matches ? kExitOk : kExitRunFailed;
}

}  // namespace brxpack
