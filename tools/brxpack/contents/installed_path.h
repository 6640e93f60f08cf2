#pragma once
// Rules for the path a file entry is installed under: the installer joins it
// to the target folder as it stands, in 512-byte buffers.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brxpack {

// The installer's paths hold at most 511 characters. A target folder such
// as "C:\Program Files (x86)\Publisher\Product\" with some room to spare is
// assumed when judging whether an installed path fits, and the backup name
// (".bak" behind the path) must fit too.
inline constexpr size_t kInstallerPathLimit = 511;
inline constexpr size_t kTypicalTargetFolderLength = 64;
inline constexpr size_t kBackupSuffixLength = 4;
inline constexpr size_t kLongestInstalledPath =
    kInstallerPathLimit - kTypicalTargetFolderLength - kBackupSuffixLength;

// Why the path (Windows-1251, backslashes) would leave the target folder.
// Nothing when it stays inside: relative, no drive or stream colon, no ".."
// component. A forward slash separates components too, as it does on Windows.
std::optional<std::string> EscapeProblem(std::string_view installedPath);

// Why the path is suspicious for an installed file: it escapes, is empty,
// names no file (ends in a separator), holds a character Windows refuses in
// names, or is too long for the installer with a typical target folder.
std::optional<std::string> InstalledPathProblem(std::string_view installedPath);

// The components of a path that passed EscapeProblem, empty and "."
// components dropped (Windows ignores them).
std::vector<std::string> PathComponents(std::string_view installedPath);

}  // namespace brxpack
