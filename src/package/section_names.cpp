#include "package/section_names.h"

#include "package/entry_names.h"

namespace brx {

SectionKind ClassifySection(const char* name) {
  struct Known {
    const char* name;
    SectionKind kind;
  };
  static constexpr Known kKnown[] = {
      {kRegistryKeysSection, SectionKind::kRegistryKeys},
      {kStartupMsgSection, SectionKind::kStartupMsg},
      {kNameTableSection, SectionKind::kNameTable},
      {kFoldersSection, SectionKind::kFolders},
      {kCommandsSection, SectionKind::kCommands},
      {kFilesToRemoveSection, SectionKind::kFilesToRemove},
      {kRegistryTableSection, SectionKind::kRegistryTable},
      {kDigestSection, SectionKind::kDigest},
  };
  for (const Known& known : kKnown) {
    if (EntryNamesEqual(name, known.name)) return known.kind;
  }
  return SectionKind::kUnknown;
}

}  // namespace brx
