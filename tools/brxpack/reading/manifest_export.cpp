#include "brxpack/reading/manifest_export.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <sstream>

#include "brxpack/contents/display_text.h"
#include "brxpack/contents/package_path.h"
#include "brxpack/contents/section_bytes.h"
#include "brxpack/contents/windows1251.h"
#include "brxpack/manifest/manifest.h"
#include "brxpack/manifest/registry_terms.h"
#include "brxpack/package/package_plan.h"
#include "brxpack/reading/installed_files.h"
#include "brxpack/stub/brand.h"
#include "brxpack/stub/pe_resources.h"
#include "package/section_names.h"
#include "package/section_readers.h"
#include "resources/resource_ids.h"

namespace brxpack {

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

bool Fine(const char* text) {
  return text != nullptr && SurvivesUtf8RoundTrip(text);
}

// Each decoder reads one section into `script` (or `pairs`); false when the
// payload holds what the manifest's tables cannot say.
bool DecodeRegistryKeys(const SectionBytes& payload, ScriptSections& script) {
  brx::RegistryKeysItems items;
  if (!brx::ReadRegistryKeys(payload.range(), &items)) return false;
  if (!Fine(items.keyPath) || !Fine(items.folderValueName) || !Fine(items.programValueName) ||
      !Fine(items.levelValueName)) {
    return false;
  }
  script.target =
      brx::RegistryKeysInput{items.keyPath, items.folderValueName, items.programValueName,
                             items.levelValueName, items.packageLevel};
  return true;
}

bool DecodeStartup(const SectionBytes& payload, ScriptSections& script) {
  const brx::StartupMessage message = brx::ReadStartupMessage(payload.range());
  if (message.wholeTexts != 2 || !Fine(message.caption) || !Fine(message.question)) return false;
  script.startup = StartupText{message.caption, message.question};
  return true;
}

bool DecodeNameTable(const SectionBytes& payload, Pairs& pairs) {
  brx::PayloadCursor cursor(payload.range());
  brx::NamePair pair;
  while (brx::ReadNamePair(cursor, &pair) == brx::ReadStep::kItem) {
    if (!Fine(pair.source) || !Fine(pair.installed)) return false;
    pairs.emplace_back(pair.source, pair.installed);
  }
  return true;
}

std::optional<std::vector<std::string>> DecodeTextList(const SectionBytes& payload) {
  std::vector<std::string> items;
  brx::PayloadCursor cursor(payload.range());
  const char* item;
  while (brx::ReadListItem(cursor, &item) == brx::ReadStep::kItem) {
    if (!Fine(item)) return std::nullopt;
    items.emplace_back(item);
  }
  return items;
}

bool DecodeCommands(const SectionBytes& payload, ScriptSections& script) {
  std::vector<brx::CommandInput> commands;
  brx::PayloadCursor cursor(payload.range());
  brx::CommandRecord record;
  while (brx::ReadCommandRecord(cursor, &record) == brx::ReadStep::kItem) {
    if ((record.flags & ~brx::kCommandFlags) != 0) return false;
    if (!Fine(record.program) || !Fine(record.arguments)) return false;
    commands.push_back({record.flags, record.program, record.arguments});
  }
  // [[command]] tables cannot say "present but empty".
  if (commands.empty()) return false;
  script.commands = std::move(commands);
  return true;
}

bool DecodeRegistry(const SectionBytes& payload, ScriptSections& script) {
  std::vector<brx::RegistryValueInput> records;
  brx::PayloadCursor cursor(payload.range());
  brx::RegistryRecord record;
  while (brx::ReadRegistryRecord(cursor, &record) == brx::ReadStep::kItem) {
    if (!RootName(record.root) || !TypeName(record.type) || !OperationName(record.operation)) {
      return false;
    }
    if (!Fine(record.key) || !Fine(record.valueName) || !Fine(record.data)) return false;
    if (record.type == brx::kRegistryTypeNumber && !IsCleanNumberText(record.data)) return false;
    if (record.type == brx::kRegistryTypeKeyOnly && record.data[0] != '\0') return false;
    records.push_back(
        {record.operation, record.root, record.key, record.type, record.valueName, record.data});
  }
  if (records.empty()) return false;  // as for commands
  script.registry = std::move(records);
  return true;
}

bool Decode(const std::string& name, const SectionBytes& payload, ScriptSections& script,
            Pairs& pairs) {
  switch (brx::ClassifySection(name.c_str())) {
    case brx::SectionKind::kRegistryKeys:
      return DecodeRegistryKeys(payload, script);
    case brx::SectionKind::kStartupMsg:
      return DecodeStartup(payload, script);
    case brx::SectionKind::kNameTable:
      return DecodeNameTable(payload, pairs);
    case brx::SectionKind::kFolders:
      return (script.folders = DecodeTextList(payload)).has_value();
    case brx::SectionKind::kFilesToRemove:
      return (script.removals = DecodeTextList(payload)).has_value();
    case brx::SectionKind::kCommands:
      return DecodeCommands(payload, script);
    case brx::SectionKind::kRegistryTable:
      return DecodeRegistry(payload, script);
    case brx::SectionKind::kDigest:
    case brx::SectionKind::kUnknown:
      break;
  }
  return false;
}

// Takes a section into the publisher's tables only when a build from them
// gives back exactly this section: its name as spelt and its bytes.
bool TakeSection(const std::string& name, const SectionBytes& payload, ScriptSections& script,
                 Pairs& pairs) {
  ScriptSections single;
  Pairs singlePairs;
  if (!Decode(name, payload, single, singlePairs)) return false;
  const std::vector<SectionEntry> rebuilt = EncodeScriptSections(single, singlePairs);
  if (rebuilt.size() != 1 || rebuilt[0].name != name || rebuilt[0].payload != payload.payload()) {
    return false;
  }
  if (single.target) script.target = single.target;
  if (single.startup) script.startup = single.startup;
  if (single.folders) script.folders = single.folders;
  if (single.removals) script.removals = single.removals;
  if (single.commands) script.commands = single.commands;
  if (single.registry) script.registry = single.registry;
  pairs.insert(pairs.end(), singlePairs.begin(), singlePairs.end());
  return true;
}

std::string Toml(const std::string& windows1251) {
  return TomlString(Windows1251ToUtf8(windows1251));
}

class Exporter {
 public:
  Exporter(const brx::Package& package, std::string shownFile, std::string payloadFolder)
      : package_(package), shownFile_(std::move(shownFile)), payload_(std::move(payloadFolder)) {}

  ExportedManifest Run() {
    ReadSections();
    WriteHeader();
    WriteScript();
    WriteFiles();
    result_.text = out_.str();
    return std::move(result_);
  }

 private:
  void Warn(const std::string& text) { result_.warnings.push_back(text); }

  void ReadSections() {
    std::map<std::string, bool> seen;
    for (uint32_t i = 0; i < package_.entryCount(); ++i) {
      const brx::DirectoryEntry& entry = package_.directory[i];
      // Every build writes its own digest.
      if (!entry.IsSection() || brx::ClassifySection(entry.name) == brx::SectionKind::kDigest) {
        continue;
      }
      const std::optional<SectionBytes> payload = ProduceEntry(package_, entry);
      if (!payload) {
        Warn("section " + QuotedPath(entry.name) + " is damaged and left out");
        continue;
      }
      const bool first = seen.emplace(FoldedName(entry.name), true).second;
      if (first && TakeSection(entry.name, *payload, script_, pairs_)) continue;
      script_.raw.push_back({entry.name, payload->payload(), ""});
    }
  }

  void WriteHeader() {
    out_ << "# A manifest that rebuilds " << shownFile_ << " (written by brxpack manifest).\n"
         << "# The files' bytes come from the folder " << payload_
         << " beside this manifest; fill it with\n"
         << "#   brxpack extract " << shownFile_ << " -C " << payload_ << "\n";
  }

  void WriteScript() {
    if (const auto& target = script_.target) {
      out_ << "\n[target]\n"
           << "registry_key = " << Toml(target->keyPath) << "\n"
           << "folder_value = " << Toml(target->folderValueName) << "\n"
           << "program_value = " << Toml(target->programValueName) << "\n"
           << "level_value = " << Toml(target->levelValueName) << "\n"
           << "patch_level = " << target->packageLevel << "\n";
    }
    if (const auto& startup = script_.startup) {
      out_ << "\n[startup]\ncaption = " << Toml(startup->caption)
           << "\nquestion = " << Toml(startup->question) << "\n";
    }
    for (const auto& [entry, install] : pairs_) {
      out_ << "\n[[rename]]\nentry = " << Toml(entry) << "\ninstall = " << Toml(install) << "\n";
    }
    if (script_.folders) out_ << "\n[folders]\ncreate = " << TomlList(*script_.folders) << "\n";
    if (script_.commands) {
      for (const brx::CommandInput& command : *script_.commands) {
        out_ << "\n[[command]]\nprogram = " << Toml(command.program)
             << "\narguments = " << Toml(command.arguments)
             << "\nwait = " << ((command.flags & brx::kCommandWait) ? "true" : "false")
             << "\nrelative = " << ((command.flags & brx::kCommandRelative) ? "true" : "false")
             << "\n";
      }
    }
    if (script_.removals) out_ << "\n[remove]\npaths = " << TomlList(*script_.removals) << "\n";
    if (script_.registry) {
      for (const brx::RegistryValueInput& record : *script_.registry) WriteRegistryValue(record);
    }
    for (const RawSection& raw : script_.raw) {
      out_ << "\n# Carried byte for byte: the tables above cannot say exactly these bytes.\n"
           << "[[section]]\nname = " << Toml(raw.name) << "\nbytes = '''\n"
           << HexFromBytes(raw.bytes, 32) << "'''\n";
    }
  }

  void WriteRegistryValue(const brx::RegistryValueInput& record) {
    out_ << "\n[[registry]]\nroot = '" << *RootName(record.root) << "'\nkey = " << Toml(record.key)
         << "\nname = " << Toml(record.valueName) << "\ntype = '" << *TypeName(record.type)
         << "'\n";
    if (record.type == brx::kRegistryTypeNumber) {
      // A plain decimal reads best as a number; other forms keep their text.
      const bool plain = record.data == std::to_string(std::stoll(record.data));
      out_ << "data = " << (plain ? record.data : Toml(record.data)) << "\n";
    } else if (record.type == brx::kRegistryTypeText) {
      out_ << "data = " << Toml(record.data) << "\n";
    }
    if (record.operation != brx::kRegistryOperationWrite) {
      out_ << "operation = '" << *OperationName(record.operation) << "'\n";
    }
  }

  static std::string TomlList(const std::vector<std::string>& items) {
    std::string text = "[";
    for (size_t i = 0; i < items.size(); ++i) text += (i ? ", " : "") + Toml(items[i]);
    return text + "]";
  }

  void WriteFiles() {
    for (const InstalledFile& file : JudgeInstalledFiles(package_)) {
      const brx::DirectoryEntry& entry = package_.directory[file.index];
      const std::string label = "entry " + QuotedPath(entry.name);
      if (!SurvivesUtf8RoundTrip(entry.name)) {
        Warn(label + ": its name has a byte without a character; left out");
        continue;
      }
      if (file.problem) {
        Warn(label + ": " + *file.problem + "; extract refuses such a package; left out");
        continue;
      }
      std::string source = payload_;
      for (const std::string& component : PathComponents(file.installed)) {
        source.push_back('/');
        source += Windows1251ToUtf8(component);
      }
      out_ << "\n[[file]]\nentry = " << Toml(entry.name) << "\nsource = " << TomlString(source)
           << "\n";
      // What did not shrink is kept in stored blocks by a build, whatever
      // the manifest says; what was stored on purpose did not shrink either.
      if (!entry.IsCompressed() || entry.compressedSize >= entry.size) out_ << "stored = true\n";
    }
  }

  const brx::Package& package_;
  std::string shownFile_;
  std::string payload_;
  ScriptSections script_;
  Pairs pairs_;
  std::ostringstream out_;
  ExportedManifest result_;
};

// The installer's own version information names it; a brand never does.
constexpr char kInstallerInternalName[] = "PATCH";

// The first resource of this type, and of this numbered name when given.
const Resource* Find(const std::vector<Resource>& resources, uint16_t type,
                     std::optional<uint16_t> name = std::nullopt) {
  const auto found = std::find_if(resources.begin(), resources.end(), [&](const Resource& r) {
    return IsNumbered(r.type, type) && (!name || IsNumbered(r.name, *name));
  });
  return found != resources.end() ? &*found : nullptr;
}

// The program's icon as a .ico file, or nothing when its group is missing
// or lists an image the stub does not hold.
std::vector<uint8_t> ProgramIcon(const std::vector<Resource>& resources) {
  const Resource* group = Find(resources, kResourceIconGroup, BRX_ICON_PROGRAM);
  if (group == nullptr) return {};
  Result<std::vector<IconImage>> images =
      IconGroupImages({group->bytes.data(), static_cast<uint32_t>(group->bytes.size())},
                      [&](uint16_t id) -> const std::vector<uint8_t>* {
                        const Resource* image = Find(resources, kResourceIcon, id);
                        return image != nullptr ? &image->bytes : nullptr;
                      });
  return images.ok() ? IconFileOf(*images) : std::vector<uint8_t>{};
}

}  // namespace

ExportedManifest ExportManifest(const brx::Package& package, const std::string& shownFile,
                                const std::string& payloadFolder) {
  return Exporter(package, shownFile, payloadFolder).Run();
}

RecoveredBrand RecoverBrand(brx::MemoryRange stub, const std::string& iconName) {
  Result<std::vector<Resource>> resources = ReadResources(stub);
  if (!resources.ok()) return {};
  const Resource* version = Find(*resources, kResourceVersion);
  std::map<std::string, std::string> texts;
  if (version != nullptr) {
    texts = VersionTextsOf({version->bytes.data(), static_cast<uint32_t>(version->bytes.size())});
  }
  if (texts.empty() || texts["InternalName"] == kInstallerInternalName) return {};
  const std::string productVersion =
      !texts["ProductVersion"].empty() ? texts["ProductVersion"] : texts["FileVersion"];
  RecoveredBrand brand;
  brand.table = "\n# The installer's brand, read back from its resources.\n[brand]\n";
  for (const auto& [key, value] :
       {std::pair{"company", texts["CompanyName"]}, std::pair{"product", texts["ProductName"]},
        std::pair{"version", productVersion}, std::pair{"description", texts["FileDescription"]},
        std::pair{"copyright", texts["LegalCopyright"]}}) {
    if (!value.empty()) brand.table += std::string(key) + " = " + TomlString(value) + "\n";
  }
  std::vector<uint8_t> icon = ProgramIcon(*resources);
  if (icon.empty()) {
    brand.table += "# Its icon could not be read back.\n";
  } else if (iconName.empty()) {
    brand.table += "# Its icon is written beside the manifest when -o names the manifest file.\n";
  } else {
    brand.table += "icon = " + TomlString(iconName) + "\n";
    brand.icon = std::move(icon);
  }
  return brand;
}

}  // namespace brxpack
