#pragma once
// The script sections by name, and which one a name means.

namespace brx {

inline constexpr char kRegistryKeysSection[] = ":RegistryKeys";
inline constexpr char kStartupMsgSection[] = ":StartupMsg";
inline constexpr char kNameTableSection[] = ":XlatNamesTable";
inline constexpr char kFoldersSection[] = ":Folders";
inline constexpr char kCommandsSection[] = ":CommandsToExecute";
inline constexpr char kFilesToRemoveSection[] = ":FilesToRemove";
inline constexpr char kRegistryTableSection[] = ":RegistryTable";
// Not a script section: the package digest (package/package_digest.h).
inline constexpr char kDigestSection[] = ":PackageDigest";

enum class SectionKind {
  kRegistryKeys,
  kStartupMsg,
  kNameTable,
  kFolders,
  kCommands,
  kFilesToRemove,
  kRegistryTable,
  kDigest,
  kUnknown,  // a name the installer never asks for
};

// The section an entry name means, compared as the installer looks sections
// up: whole name, A to Z folded.
SectionKind ClassifySection(const char* name);

}  // namespace brx
