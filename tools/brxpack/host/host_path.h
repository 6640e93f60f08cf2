#pragma once
// Paths travel through the tool as std::filesystem paths (wide on
// Windows). They meet UTF-8 text only at its edges: the command line,
// manifest text, and what the tool prints. These are the conversions.
#include <filesystem>
#include <string>
#include <string_view>

namespace brxpack {

std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

// A relative path as manifests and package names write it: names joined by
// "/" on every system.
std::string GenericUtf8(const std::filesystem::path& path);

// A host path written in a manifest: "/" and "\" both separate folders, on
// every system, so a manifest written on Windows builds on Linux too.
std::filesystem::path PathFromManifest(std::string_view utf8);

// The text of the last system error (errno, or GetLastError on Windows).
std::string LastSystemErrorText();
std::string SystemErrorText(const std::error_code& error);

}  // namespace brxpack
