// brxpack verify: every check the installer's reader makes, and more; one
// line per problem, for each file given.
#include <algorithm>

#include "brxpack/commands/command.h"
#include "brxpack/host/byte_size.h"
#include "brxpack/host/host_path.h"
#include "brxpack/host/json_writer.h"
#include "brxpack/reading/package_file.h"
#include "brxpack/reading/package_verification.h"

namespace brxpack {

namespace {

struct VerifyOptions {
  std::vector<std::filesystem::path> files;
  bool json = false;
};

struct Verdict {
  std::string file;                       // as given, for messages
  std::optional<std::string> unreadable;  // why the file could not be read at all
  VerifyReport report;

  int exitCode() const {
    if (unreadable) return kExitBadInput;
    return report.problems.empty() ? kExitOk : kExitDamaged;
  }
};

Verdict VerifyFile(const std::filesystem::path& file) {
  Verdict verdict;
  verdict.file = Utf8FromPath(file);
  Result<PackageFile> mapped = MapPackageFile(file);
  if (!mapped.ok()) {
    verdict.unreadable = mapped.error();
    return verdict;
  }
  verdict.report = VerifyPackage(*mapped);
  return verdict;
}

void PrintText(const Verdict& verdict, Console& console) {
  if (verdict.unreadable) {
    Refuse(console, *verdict.unreadable);
    return;
  }
  const VerifyReport& report = verdict.report;
  const std::string& shown = verdict.file;
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

void PrintJson(const std::vector<Verdict>& verdicts, Console& console) {
  JsonWriter json(console.out);
  json.BeginObject();
  json.Key("files");
  json.BeginArray();
  for (const Verdict& verdict : verdicts) {
    json.BeginObject();
    json.Field("file", verdict.file);
    const char* word = verdict.unreadable                ? "unreadable"
                       : verdict.report.problems.empty() ? "ok"
                                                         : "damaged";
    json.Field("verdict", word);
    if (verdict.unreadable) json.Field("error", *verdict.unreadable);
    json.Field("facts", verdict.report.facts);
    json.Field("problems", verdict.report.problems);
    json.Field("notes", verdict.report.notes);
    const std::optional<StubArch> arch = verdict.report.stubArch;
    json.Field("stubArch", arch ? std::optional(ArchName(*arch)) : std::nullopt);
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
}

int RunVerify(const VerifyOptions& options, Console& console) {
  std::vector<Verdict> verdicts;
  int exitCode = kExitOk;
  for (const std::filesystem::path& file : options.files) {
    verdicts.push_back(VerifyFile(file));
    exitCode = std::max(exitCode, verdicts.back().exitCode());
    if (!options.json) PrintText(verdicts.back(), console);
  }
  if (options.json) PrintJson(verdicts, console);
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
