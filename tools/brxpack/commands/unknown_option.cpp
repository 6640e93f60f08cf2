#include "brxpack/commands/unknown_option.h"

#include <algorithm>
#include <cctype>

#include "brxpack/contents/closest_name.h"

namespace brxpack {

namespace {

struct OptionNames {
  std::vector<std::string> all;      // every spelling taken, hidden ones too
  std::vector<std::string> visible;  // the ones worth suggesting
};

void AddNames(const CLI::App& app, OptionNames& names) {
  for (const CLI::Option* option : app.get_options()) {
    for (const std::string& name : option->get_lnames()) {
      names.all.push_back("--" + name);
      if (!option->get_group().empty()) names.visible.push_back("--" + name);
    }
    for (const std::string& name : option->get_snames()) names.all.push_back("-" + name);
  }
}

bool LooksLikeOption(const std::string& argument) {
  if (argument.size() < 2 || argument[0] != '-') return false;
  return argument[1] == '-' || std::isalpha(static_cast<unsigned char>(argument[1]));
}

}  // namespace

std::optional<std::string> UnknownOption(CLI::App& app, const std::string& command,
                                         const std::vector<std::string>& arguments) {
  OptionNames names;
  AddNames(app, names);
  if (!command.empty()) {
    if (const CLI::App* chosen = app.get_subcommand_ptr(command).get()) AddNames(*chosen, names);
  }
  for (const std::string& argument : arguments) {
    if (argument == "--") break;  // the rest are values
    if (!LooksLikeOption(argument)) continue;
    const std::string name = argument.substr(0, argument.find('='));
    if (std::find(names.all.begin(), names.all.end(), name) != names.all.end()) continue;
    // "-qo": several short flags at once are CLI11's to judge.
    if (name[1] != '-' && name.size() > 2) continue;
    return name + " is not an option of brxpack" + (command.empty() ? "" : " " + command) +
           DidYouMean(name, names.visible);
  }
  return std::nullopt;
}

}  // namespace brxpack
