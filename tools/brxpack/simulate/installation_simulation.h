#pragma once
// An installation simulated with the installer's own code: the worker runs
// the package over the simulated Windows (simulated_windows.h) with a
// folder mounted for the installed program, and the registry seeded so that
// target discovery finds it.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "brxpack/host/progress_meter.h"
#include "brxpack/result.h"
#include "brxpack/simulate/simulated_windows.h"

namespace brxpack {

struct SimulationSettings {
  std::filesystem::path package;  // a package file or a self-applying executable
  std::filesystem::path target;   // the folder the installation changes
  std::string targetShown;        // the release as the publisher named it, for messages
  std::string program;            // UTF-8, below target; empty: the one .exe at its top
  int32_t installedLevel = 0;
  bool cancel = false;        // Cancel to every question instead of OK
  bool commandsFail = false;  // every command reports failure
  ProgressTarget progress;    // over the bytes of the files the package installs
};

struct SimulationReport {
  std::string targetFolder;  // the Windows folder that stands for target (ANSI)
  std::string keyPath;       // :RegistryKeys, empty when the package has none
  std::string programFile;   // ANSI, as seeded
  int32_t installedLevel = 0;
  std::vector<SeamEvent> events;
  std::vector<RegistryWrite> writes;
  bool succeeded = false;  // the run ended with the success text
  int32_t finalLevel = 0;  // the patch level in the registry after the run
  std::optional<std::string> levelValueName;
};

// Simulate's mounted folders on the host: each ANSI name is the host's
// UTF-8 spelling of its Windows-1251 bytes, files are read where they are,
// and every change the simulated Windows makes is made there too.
std::unique_ptr<HostMirror> MakeHostMirror();

// The Windows folder that stands for the target: under Program Files, named
// after the key's last component (SOFTWARE\Brindlex\Notes: Notes), or
// "Program" when that names no folder.
std::string TargetFolderFor(const std::string& keyPath);

// Fails (before anything is changed) when the package cannot be read or the
// program file cannot be settled.
Result<SimulationReport> SimulateInstallation(const SimulationSettings& settings);

}  // namespace brxpack
