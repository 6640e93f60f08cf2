#pragma once
// The tool keeps every path as UTF-8 text; the host file system wants
// std::filesystem paths (wide on Windows). Conversions in one place.
#include <filesystem>
#include <string>
#include <string_view>

namespace brxpack {

std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

// A host path written in a manifest: "/" and "\" both separate folders, on
// every system, so a manifest written on Windows builds on Linux too.
std::filesystem::path PathFromManifest(std::string_view utf8);

// The text of the last system error (errno, or GetLastError on Windows).
std::string LastSystemErrorText();
std::string SystemErrorText(const std::error_code& error);

}  // namespace brxpack
