#include "brxpack/simulate/installation_simulation.h"

#include <algorithm>
#include <system_error>

#include "app/worker.h"
#include "authoring/section_encoders.h"
#include "brxpack/contents/windows1251.h"
#include "brxpack/host/host_path.h"
#include "brxpack/reading/package_file.h"
#include "package/entry_lookup.h"
#include "package/section_names.h"
#include "package/section_readers.h"
#include "run/user_texts.h"
#include "steps/phases.h"
#include "steps/read_registry_value.h"

namespace brxpack {

namespace fs = std::filesystem;

namespace {

constexpr char kUpdatesFolder[] = "C:\\Updates\\";
constexpr char kProgramFiles[] = "C:\\Program Files\\";

// What the simulation needs to know of the package before the installer
// runs it.
struct PackageFacts {
  bool executable = false;  // a self-applying executable, not a package file
  uint64_t fileBytes = 0;   // of the files it installs
  // The package's own names for the registry values, read as the installer
  // reads them; nothing when the reader refuses the package or it has no
  // usable :RegistryKeys.
  std::optional<brx::RegistryKeysInput> keys;
};

Result<PackageFacts> ReadPackageFacts(const fs::path& path) {
  Result<PackageFile> file = MapPackageFile(path);
  if (!file.ok()) return file.TakeError();
  PackageFacts facts;
  facts.executable = file->source == brx::PackageSource::kOwnFile;
  const ParsedPackage parsed(*file);
  if (!parsed.ok()) return facts;
  for (uint32_t i = 0; i < parsed.package().entryCount(); ++i) {
    const brx::DirectoryEntry& entry = parsed.package().directory[i];
    if (!entry.IsSection()) facts.fileBytes += entry.size;
  }
  const brx::SectionBlock block = brx::LoadSection(parsed.package(), brx::kRegistryKeysSection);
  brx::RegistryKeysItems items;
  if (block.loaded() && brx::ReadRegistryKeys(block.bytes(), &items)) {
    facts.keys =
        brx::RegistryKeysInput{items.keyPath, items.folderValueName, items.programValueName,
                               items.levelValueName, items.packageLevel};
  }
  return facts;
}

// The program file's name below the target (ANSI, backslashes): the one
// given, or the one .exe at the folder's top.
Result<std::string> ProgramFile(const SimulationSettings& settings) {
  std::string utf8 = settings.program;
  if (utf8.empty()) {
    std::vector<std::string> found;
    std::error_code error;
    for (fs::directory_iterator it(settings.target, error);
         !error && it != fs::directory_iterator(); it.increment(error)) {
      std::string name = Utf8FromPath(it->path().filename());
      const std::string folded = FoldedName(name);
      std::error_code kind;
      if (folded.size() > 4 && folded.ends_with(".exe") && it->is_regular_file(kind)) {
        found.push_back(std::move(name));
      }
    }
    if (found.size() != 1) {
      std::string listed;
      for (const std::string& name : found) listed += (listed.empty() ? " (" : ", ") + name;
      const std::string shown =
          settings.targetShown.empty() ? Utf8FromPath(settings.target) : settings.targetShown;
      return Error{shown + " holds " + std::to_string(found.size()) + " .exe files at its top" +
                   (listed.empty() ? "" : listed + ")") + ": name the program file with --program"};
    }
    utf8 = found.front();
  }
  for (char& c : utf8) c = c == '/' ? '\\' : c;
  Result<std::string> ansi = Utf8ToWindows1251(utf8);
  if (!ansi.ok()) return Error{"--program " + settings.program + ": " + ansi.error()};
  return ansi;
}

// The registry as the program's set-up left it: folder (without the final
// backslash, as set-ups write it), program file and level.
void SeedRegistry(SimulatedRegistry& registry, const brx::RegistryKeysInput& keys,
                  const SimulationReport& report) {
  const std::string folder = report.targetFolder.substr(0, report.targetFolder.size() - 1);
  registry.Put(brx::RegistryRoot::kLocalMachine, keys.keyPath, keys.folderValueName, brx::kRegSz,
               folder + '\0');
  registry.Put(brx::RegistryRoot::kLocalMachine, keys.keyPath, keys.programValueName, brx::kRegSz,
               report.programFile + '\0');
  std::string level;  // a dword, least significant byte first
  for (int shift = 0; shift < 32; shift += 8) {
    level.push_back(static_cast<char>(static_cast<uint32_t>(report.installedLevel) >> shift));
  }
  registry.Put(brx::RegistryRoot::kLocalMachine, keys.keyPath, keys.levelValueName, brx::kRegDword,
               level);
}

// The update's own name under the updates folder, where it has one in ANSI.
std::string PackageWindowsPath(bool executable, const fs::path& path) {
  Result<std::string> name = Utf8ToWindows1251(Utf8FromPath(path.filename()));
  const bool usable = name.ok() && name->find_first_of("<>:\"/\\|?*") == std::string::npos;
  return kUpdatesFolder + (usable ? *name : std::string(executable ? "update.exe" : "update.brx"));
}

// --commands fail: each program leaves the error file in its current
// folder, as a failing command does.
void LeaveTheErrorFile(SimulatedWindows& windows, SeamEvent& command) {
  const std::string file = command.folder + "\\" + brx::kCommandErrorFileName;
  const brx::Handle handle = windows.CreateFileForWriting(file.c_str());
  command.reportsFailure = handle != brx::kNoHandle;
  if (command.reportsFailure) windows.Close(handle);
}

}  // namespace

std::string TargetFolderFor(const std::string& keyPath) {
  std::string name = keyPath.substr(keyPath.find_last_of('\\') + 1);
  const bool usable = !name.empty() && name.find_first_of("<>:\"/|?*") == std::string::npos &&
                      name != "." && name != "..";
  return kProgramFiles + (usable ? name : std::string("Program")) + "\\";
}

Result<SimulationReport> SimulateInstallation(const SimulationSettings& settings) {
  Result<PackageFacts> facts = ReadPackageFacts(settings.package);
  if (!facts.ok()) return facts.TakeError();
  const std::optional<brx::RegistryKeysInput>& keys = facts->keys;
  Result<std::string> program = ProgramFile(settings);
  if (!program.ok()) return program.TakeError();

  SimulationReport report;
  report.targetFolder = TargetFolderFor(keys ? keys->keyPath : "");
  report.programFile = *program;
  report.installedLevel = settings.installedLevel;
  const std::unique_ptr<HostMirror> mirror = MakeHostMirror();
  ProgressMeter progress(settings.progress, facts->fileBytes);
  mirror->written = [&progress](uint64_t bytes) { progress.Advance(bytes); };
  SimulatedWindows windows(mirror.get());
  windows.answer = settings.cancel ? brx::kIdCancel : brx::kIdOk;
  if (settings.commandsFail) windows.onStart = LeaveTheErrorFile;
  const std::string packagePath = PackageWindowsPath(facts->executable, settings.package);
  windows.Mount(report.targetFolder, settings.target, true);
  windows.Mount(packagePath, settings.package, false);
  if (!windows.PathExists((report.targetFolder + report.programFile).c_str())) {
    return Error{"--program " + Windows1251ToUtf8(report.programFile) + ": no such file in " +
                 Utf8FromPath(settings.target)};
  }
  if (keys) {
    report.keyPath = keys->keyPath;
    report.levelValueName = keys->levelValueName;
    SeedRegistry(windows.registry(), *keys, report);
  }

  // The executable applies the package it carries; a package file is given
  // to the installer's program as its argument.
  const std::string commandLine = facts->executable ? "\"" + packagePath + "\""
                                                    : std::string("\"") + kUpdatesFolder +
                                                          "PATCH.EXE\" \"" + packagePath + "\"";
  brx::WorkerState state{brx::kRunning};
  brx::RunWorker(windows, commandLine.c_str(), state);
  if (mirror->fault) {
    return Error{"the simulated installation could not write on this machine: " + *mirror->fault +
                 "; nothing is proven"};
  }

  if (keys) {
    // As the next run of an update reads it.
    brx::RegistryValueBuffer buffer;
    report.finalLevel =
        brx::InstalledLevel(windows, keys->keyPath.c_str(), keys->levelValueName.c_str(), &buffer);
  }
  report.events = windows.events();
  report.writes = windows.registry().writes();
  const auto status = std::find_if(report.events.rbegin(), report.events.rend(), [](auto& event) {
    return event.kind == SeamEvent::Kind::kStatus;
  });
  report.succeeded = status != report.events.rend() && status->text == brx::kUpdateInstalledText;
  return report;
}

}  // namespace brxpack
