#pragma once
// A package described in a publisher's terms, as read from a manifest. Texts
// that go into the package are already Windows-1251; host paths are paths.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "authoring/section_encoders.h"
#include "brxpack/stub/brand.h"
#include "brxpack/manifest/payload_folder.h"
#include "brxpack/stub/stub_architecture.h"

namespace brxpack {

// A file entry given by hand. At least one of install and entry is set.
struct FileItem {
  std::filesystem::path source;        // relative to the manifest's folder
  std::optional<std::string> install;  // installed path
  std::optional<std::string> entry;    // entry name, at most 31 bytes
  bool stored = false;
  std::string where;  // "FILE:LINE:COLUMN: file[N]", for messages
};

// A file of the payload folder named by [payload] only.
struct PayloadPick {
  std::string path;   // UTF-8 as written, names joined by "\\" or "/"
  std::string where;  // "FILE:LINE:COLUMN: payload.only[N]", for messages
};

struct NamePairItem {
  std::string entry;
  std::string install;
  std::string where;
};

// A section carried byte for byte (for what the tables cannot say).
struct RawSection {
  std::string name;
  std::vector<uint8_t> bytes;
  std::string where;
};

struct StartupText {
  std::string caption;
  std::string question;
};

// The script sections; an absent optional means the section is left out.
struct ScriptSections {
  std::optional<brx::RegistryKeysInput> target;
  std::optional<StartupText> startup;
  std::vector<NamePairItem> renames;
  std::optional<std::vector<std::string>> folders;
  std::optional<std::vector<brx::CommandInput>> commands;
  std::vector<std::string> commandWhere;  // "FILE:LINE:COLUMN: command[N]", one per command
  std::optional<std::vector<std::string>> removals;
  std::optional<std::vector<brx::RegistryValueInput>> registry;
  std::vector<RawSection> raw;
};

struct PayloadSettings {
  std::filesystem::path folder;  // relative to the manifest's folder
  PayloadRules rules;
  // Only these files of the folder (an update made by diff); unset: all.
  std::optional<std::vector<PayloadPick>> only;
  std::string where;  // "FILE:LINE:COLUMN: payload.folder", for messages
};

struct Manifest {
  std::filesystem::path path;
  std::filesystem::path folder;  // what relative host paths start from
  std::optional<int> level;
  std::optional<std::filesystem::path> output;  // relative to folder
  std::optional<PayloadSettings> payload;
  std::vector<FileItem> files;
  ScriptSections script;
  std::optional<Brand> brand;    // applied to the stub of a self-applying executable
  std::optional<StubArch> arch;  // [target] arch: the stub's; unset means x86
};

}  // namespace brxpack
