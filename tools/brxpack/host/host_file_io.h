#pragma once
// Plain file reading and writing on the host with every error kept: a full
// disk, an I/O error or a missing permission is returned, never lost in a
// buffer or a short copy.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <system_error>

namespace brxpack {

// fopen for any path the system can name (wide names on Windows).
std::FILE* OpenHostFile(const std::filesystem::path& path, const char* mode);

// The error of the last failed C library call (EIO when it left none).
std::error_code LastHostError();

// Copies a file's bytes to a new file, checked to the close. The standard
// library's copy_file can report success for a copy cut short by a full
// disk or a file-size limit.
std::error_code CopyHostFile(const std::filesystem::path& from, const std::filesystem::path& to);

// Copies what a folder holds into an existing folder, entry by entry (a
// recursive fs::copy into an existing folder fails on some standard
// libraries). `at` names the last copy made or tried; `copied` is told the
// size of each file copied.
std::error_code CopyHostFolder(const std::filesystem::path& from, const std::filesystem::path& to,
                               std::filesystem::path& at,
                               const std::function<void(uint64_t bytes)>& copied = {});

}  // namespace brxpack
