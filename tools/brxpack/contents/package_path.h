#pragma once
// The one rule for every path a package names inside the program's folder:
// installed files, folders to create, files to remove and programs run from
// the folder. The installer joins each to the target folder as it stands,
// in 512-byte buffers, and runs as administrator, so a path that leaves the
// folder, names a device or loses characters on the way would do harm.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brxpack {

// The lengths Windows' ANSI file calls take, and what they leave for a name
// below the program's folder. The installer joins the target folder and the
// installed name and hands the whole path to those calls, so build, diff and
// verify judge names by these numbers and simulate's Windows fails by them.

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

// The installer's program paths hold at most 1,023 characters.
inline constexpr size_t kInstallerProgramLimit = 1023;

// What a path names decides whether it may end in a separator and how long
// it may be.
enum class PathUse {
  kInstalledFile,  // a file entry's installed name
  kFolder,         // :Folders
  kRemoval,        // :FilesToRemove (a file or a folder)
  kProgram,        // a command's program relative to the program's folder
};

// Why the path (Windows-1251) must not be used, or nothing: a path that
// could leave the folder, name a device, lose characters in Windows' hands,
// or fit below no program folder, not even "C:\" (a file with its ".bak").
std::optional<std::string> PackagePathProblem(std::string_view path, PathUse use);

// A warning for a path that PackagePathProblem lets through but a longer
// program folder than the typical one would push past Windows' limits:
// longer than kLongestQuietInstalledPath. Programs are not judged here.
std::optional<std::string> PathLengthWarning(std::string_view path, PathUse use);

// A manifest may separate a package path's names with "/" or "\"; the
// package holds "\" alone, the one separator the installer splits at.
std::string WithBackslashes(std::string path);

// A command's program: relative ones follow PackagePathProblem; one declared
// not relative must be an absolute path (drive or network share) without
// control characters, since the installer starts it as it stands.
std::optional<std::string> ProgramProblem(std::string_view program, bool relative);

// Why a text that names a registry key or value must not be used: it holds
// a control character.
std::optional<std::string> ControlCharacterProblem(std::string_view text);

// The non-empty components of a path that passed PackagePathProblem.
std::vector<std::string> PathComponents(std::string_view path);

// Two installed paths name the same file on Windows exactly when their keys
// are equal: components joined by one backslash, letters folded as Windows
// folds file names (Latin and the Cyrillic of Windows-1251).
std::string InstalledPathKey(std::string_view path);

}  // namespace brxpack
