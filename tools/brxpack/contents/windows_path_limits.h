#pragma once
// The lengths Windows' ANSI file calls take, and what they leave for a name
// below the program's folder. The installer joins the target folder and the
// installed name and hands the whole path to those calls, so build, diff and
// verify judge names by these numbers and simulate's Windows fails by them.
#include <cstddef>

namespace brxpack {

// MAX_PATH (260) less the terminator: CreateFileA, MoveFileA, DeleteFileA,
// RemoveDirectoryA and GetFileAttributesA fail for a longer path.
inline constexpr size_t kLongestWindowsPath = 259;
// CreateDirectoryA leaves room for an 8.3 name: 248 with the terminator.
inline constexpr size_t kLongestWindowsFolderPath = 247;
// The shortest folder a program can live in: "C:\".
inline constexpr size_t kShortestTargetFolderLength = 3;
// A typical program folder, such as "C:\Program Files (x86)\Publisher\Product\"
// with some room to spare.
inline constexpr size_t kTypicalTargetFolderLength = 64;
// A replaced file waits under its name and ".bak".
inline constexpr size_t kBackupSuffixLength = 4;
// Longer installed names are a warning: with a typical program folder and
// ".bak" they come close to kLongestWindowsPath, and a longer folder fails.
inline constexpr size_t kLongestQuietInstalledPath = 160;

}  // namespace brxpack
