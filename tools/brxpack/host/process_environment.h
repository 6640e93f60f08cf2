#pragma once
// What the process gets from its host: its arguments as UTF-8, its own path,
// and whether progress can be drawn on the terminal.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace brxpack {

// UTF-8 arguments, the program's name first. On Windows they are taken from
// the wide command line, so names in any code page survive.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

std::optional<std::filesystem::path> OwnExecutablePath();

bool StandardErrorIsTerminal();

// Lets a Windows console show the UTF-8 the tool prints.
void PrepareConsoleForUtf8();

}  // namespace brxpack
