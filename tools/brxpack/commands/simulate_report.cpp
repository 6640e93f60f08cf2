#include "brxpack/commands/simulate_report.h"

#include <algorithm>

#include "brxpack/contents/display_text.h"
#include "brxpack/contents/folded_name.h"
#include "brxpack/contents/windows1251.h"
#include "brxpack/host/byte_size.h"
#include "brxpack/host/host_path.h"
#include "brxpack/host/json_writer.h"

namespace brxpack {

namespace {

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

}  // namespace

bool AllOk(const std::vector<SimulatedRelease>& runs) {
  return std::all_of(runs.begin(), runs.end(),
                     [](const SimulatedRelease& run) { return run.ok(); });
}

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

}  // namespace brxpack
