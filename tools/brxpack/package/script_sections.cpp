#include "brxpack/package/script_sections.h"

#include "package/section_names.h"

namespace brxpack {

std::vector<SectionEntry> EncodeScriptSections(
    const ScriptSections& script, const std::vector<std::pair<std::string, std::string>>& pairs) {
  std::vector<SectionEntry> sections;
  if (script.target) {
    sections.push_back({brx::kRegistryKeysSection, brx::EncodeRegistryKeys(*script.target)});
  }
  if (script.startup) {
    sections.push_back(
        {brx::kStartupMsgSection,
         brx::EncodeStartupMessage(script.startup->caption, script.startup->question)});
  }
  if (!pairs.empty()) sections.push_back({brx::kNameTableSection, brx::EncodeNameTable(pairs)});
  if (script.folders) {
    sections.push_back({brx::kFoldersSection, brx::EncodeTextList(*script.folders)});
  }
  if (script.commands) {
    sections.push_back({brx::kCommandsSection, brx::EncodeCommands(*script.commands)});
  }
  if (script.removals) {
    sections.push_back({brx::kFilesToRemoveSection, brx::EncodeTextList(*script.removals)});
  }
  if (script.registry) {
    sections.push_back({brx::kRegistryTableSection, brx::EncodeRegistryTable(*script.registry)});
  }
  for (const RawSection& raw : script.raw) sections.push_back({raw.name, raw.bytes});
  return sections;
}

}  // namespace brxpack
