// Writes the regressions every fuzzer run replays: each section's payload
// cut short, for the section payload fuzzer, and the hostile packages of
// hostile_packages.h with lists of ten thousand items, for the package and
// driver fuzzers. (The seed corpora are a few valid packages kept as they
// are.) Not run by the build; write the inputs again when the format or
// the cases change:
//   cmake --build --preset fuzz --target make_fuzz_inputs
//   build/fuzz/make_fuzz_inputs tests/fuzz
#include <cstdio>
#include <string>
#include <vector>

#include "package/section_names.h"
#include "support/hostile_packages.h"
#include "support/target_fixture.h"

namespace brx::test {
namespace {

using Inputs = std::vector<std::pair<std::string, std::vector<uint8_t>>>;

// The section payload fuzzer's input: the section's number, then the payload.
enum SectionNumber : uint8_t { kKeys, kStartup, kNames, kFolders, kCommands, kRemove, kRegistry };
std::vector<uint8_t> Selected(SectionNumber section, const std::string& payload) {
  std::vector<uint8_t> input = {section};
  input.insert(input.end(), payload.begin(), payload.end());
  return input;
}

const std::string kKeysPayload =
    Text(EncodeRegistryKeys({kTargetKey, "ProgramPath", "ProgramName", "PatchLevel", 2}));
const std::string kRegistryRecord =
    Raw("\x01\0\0\0\x01\0\0\0Software\\Brindlex\0\x01\0\0\0Level\0"
        "0x1F\0");

// Every payload without its terminator, and a registry record cut in each field.
Inputs PayloadRegressions() {
  const std::string command = Raw("\1C:\\Tools\\tool.exe\0");
  Inputs inputs = {
      {"keys_without_last_zero", Selected(kKeys, kKeysPayload.substr(0, kKeysPayload.size() - 1))},
      {"keys_cut_in_last_text",
       Selected(kKeys, kKeysPayload.substr(0, kKeysPayload.find("PatchLevel") + 5))},
      {"startup_question_unterminated", Selected(kStartup, Raw("Atlas\0Install?"))},
      {"startup_caption_unterminated", Selected(kStartup, "Atlas")},
      {"names_installed_unterminated", Selected(kNames, Raw("readme.txt\0Docs\\r.txt"))},
      {"names_source_unterminated", Selected(kNames, "readme.txt")},
      {"folders_unterminated", Selected(kFolders, Raw("Docs\0Maps"))},
      {"remove_unterminated", Selected(kRemove, Raw("old.map\0readme.txt"))},
      {"commands_without_closing_record", Selected(kCommands, command + Raw("-a\0"))},
      {"commands_arguments_unterminated",
       Selected(kCommands, command + Raw("-a\0") + command + "-b")},
      {"registry_without_end", Selected(kRegistry, kRegistryRecord)},
      {"empty_payload_keys", Selected(kKeys, "")},
      {"empty_payload_commands", Selected(kCommands, "")},
      {"empty_payload_registry", Selected(kRegistry, "")},
  };
  for (const size_t cut : {2, 6, 11, 27, 32, 38}) {  // operation, root, key, type, name, data
    inputs.push_back({"registry_cut_at_" + std::to_string(cut),
                      Selected(kRegistry, kRegistryRecord.substr(0, cut))});
  }
  return inputs;
}

bool WriteAll(const std::string& folder, const Inputs& inputs) {
  for (const auto& [name, bytes] : inputs) {
    FILE* out = std::fopen((folder + "/" + name).c_str(), "wb");
    const bool written = out != nullptr && !bytes.empty() &&
                         std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (out == nullptr || std::fclose(out) != 0 || !written) {
      std::fprintf(stderr, "cannot write %s/%s\n", folder.c_str(), name.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace
}  // namespace brx::test

int main(int argc, char** argv) {
  using namespace brx::test;
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FUZZ_FOLDER (tests/fuzz)\n", argv[0]);
    return 2;
  }
  const std::string fuzz = argv[1];
  Inputs hostile;
  for (HostilePackage& package : HostilePackages(10000))
    hostile.push_back({package.name, package.bytes});
  const bool ok = WriteAll(fuzz + "/regressions/section_payload_fuzzer", PayloadRegressions()) &&
                  WriteAll(fuzz + "/regressions/package_fuzzer", hostile) &&
                  WriteAll(fuzz + "/regressions/driver_fuzzer", hostile);
  return ok ? 0 : 1;
}
