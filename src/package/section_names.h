#pragma once

namespace brx {

inline constexpr char kRegistryKeysSection[] = ":RegistryKeys";
inline constexpr char kStartupMsgSection[] = ":StartupMsg";
inline constexpr char kNameTableSection[] = ":XlatNamesTable";
inline constexpr char kFoldersSection[] = ":Folders";
inline constexpr char kCommandsSection[] = ":CommandsToExecute";
inline constexpr char kFilesToRemoveSection[] = ":FilesToRemove";
inline constexpr char kRegistryTableSection[] = ":RegistryTable";

}  // namespace brx
