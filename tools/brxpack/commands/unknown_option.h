#pragma once
// Names the option a mistyped one most likely meant ("--bets": "--best").
#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

namespace brxpack {

// The first argument that looks like an option but is none of the chosen
// command's (command empty: the tool's own, as --version), said with the
// nearest visible option's name; none when every option is known.
std::optional<std::string> UnknownOption(CLI::App& app, const std::string& command,
                                         const std::vector<std::string>& arguments);

}  // namespace brxpack
