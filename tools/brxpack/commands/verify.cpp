// brxpack verify: every check the installer's reader makes, and more; one
// line per problem, for each file given.
#include <algorithm>

#include "brxpack/commands/command.h"
#include "brxpack/host/byte_size.h"
#include "brxpack/host/json_writer.h"
#include "brxpack/reading/package_verification.h"

namespace brxpack {

namespace {

struct VerifyOptions {
  std::vector<std::filesystem::path> files;
  bool json = false;
};

void PrintText(const VerifyReport& report, Console& console) {
  if (report.unreadable) {
    Refuse(console, *report.unreadable);
    return;
  }
  const std::string& shown = report.file;
  if (!console.quiet) {
    for (const std::string& fact : report.facts) console.out << shown << ": " << fact << "\n";
    for (const std::string& note : report.notes) {
      console.out << shown << ": note: " << note << "\n";
    }
  }
  for (const std::string& problem : report.problems) {
    console.out << shown << ": PROBLEM: " << problem << "\n";
  }
  if (!report.problems.empty()) {
    console.out << shown << ": DAMAGED, " << Counted(report.problems.size(), "problem", "problems")
                << "\n";
  } else if (!console.quiet) {
    console.out << shown << ": OK\n";
  }
}

void PrintJson(const std::vector<VerifyReport>& reports, Console& console) {
  JsonWriter json(console.out);
  json.BeginObject();
  json.Key("files");
  json.BeginArray();
  for (const VerifyReport& report : reports) {
    json.BeginObject();
    json.Field("file", report.file);
    const char* word = report.unreadable         ? "unreadable"
                       : report.problems.empty() ? "ok"
                                                 : "damaged";
    json.Field("verdict", word);
    if (report.unreadable) json.Field("error", *report.unreadable);
    json.Field("facts", report.facts);
    json.Field("problems", report.problems);
    json.Field("notes", report.notes);
    json.Field("stubArch",
               report.stubArch ? std::optional(ArchName(*report.stubArch)) : std::nullopt);
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
}

int RunVerify(const VerifyOptions& options, Console& console) {
  std::vector<VerifyReport> reports;
  int exitCode = kExitOk;
  for (const std::filesystem::path& file : options.files) {
    const VerifyReport& report = reports.emplace_back(VerifyPackage(file));
    exitCode = std::max(exitCode, report.unreadable         ? kExitBadInput
                                  : report.problems.empty() ? kExitOk
                                                            : kExitDamaged);
    if (!options.json) PrintText(report, console);
  }
  if (options.json) PrintJson(reports, console);
  return exitCode;
}

void AddOptions(CLI::App& parser, VerifyOptions& options) {
  AddPaths(parser, "FILE", options.files, "Packages or self-applying executables")->required();
  parser.add_flag("--json", options.json, "Print one JSON object (see the README)");
}

}  // namespace

const Command kVerifyCommand{
    "verify",
    "Check packages or self-applying executables as the installer reads them, and more: every "
    "entry's bytes and checksum, every section's form and paths, installed paths, the "
    "signature's digest. Exit 0 when all are clean, 1 when one is damaged.",
    Define<VerifyOptions, AddOptions, RunVerify>};

}  // namespace brxpack
