// Writes the seeds of the section payload fuzzer, a signed self-applying
// executable as a further seed of the package and driver fuzzers, and the
// hostile inputs that every fuzzer replays as regressions (the cases of the hostile package and
// section tests, in sizes a fuzzer can run often). Not part of the build;
// rebuild the inputs when the format or the cases change, from the
// repository's root:
//   g++ -std=c++20 -Isrc -Itests src/package/format.cpp
//       src/authoring/{section_encoders,writer}.cpp tests/support/hostile_packages.cpp
//       tests/fuzz/make_fuzz_inputs.cpp -lz -o /tmp/make_fuzz_inputs
//   /tmp/make_fuzz_inputs tests/fuzz
// The driver fuzzer's seeds are the package fuzzer's (make_seeds.cpp), whose
// target the driver fuzzer installs.
#include <cstdio>
#include <string>
#include <vector>

#include "authoring/section_encoders.h"
#include "package/section_names.h"
#include "support/hostile_packages.h"
#include "support/pe_samples.h"

namespace brx {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Raw(const std::string& text) {
  return {text.begin(), text.end()};
}
template <size_t N>
std::string Text(const char (&bytes)[N]) {
  return std::string(bytes, N - 1);  // every byte but the literal's own terminator
}

bool Write(const std::string& path, const Bytes& bytes) {
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  return std::fclose(out) == 0 && written;
}

// The section payload fuzzer's input: the section's number, then the payload.
enum Section : uint8_t {
  kKeys,
  kStartup,
  kNames,
  kFolders,
  kCommands,
  kRemove,
  kRegistry,
};
Bytes Selected(Section section, const Bytes& payload) {
  Bytes input = {section};
  input.insert(input.end(), payload.begin(), payload.end());
  return input;
}

RegistryKeysInput AtlasKeys() {
  RegistryKeysInput keys;
  keys.keyPath = "SOFTWARE\\Brindlex\\Atlas";
  keys.packageLevel = 2;
  return keys;
}

Bytes RegistryRecord(uint32_t root, const std::string& key, uint32_t type, const std::string& name,
                     const std::string& data) {
  const Bytes table = EncodeRegistryTable({{1, root, key, type, name, data}});
  return Bytes(table.begin(), table.end() - 5);  // without operation 0 and the extra zero
}

struct Input {
  std::string name;
  Bytes bytes;
};

std::vector<Input> PayloadSeeds() {
  return {
      {"registry_keys", Selected(kKeys, EncodeRegistryKeys(AtlasKeys()))},
      {"startup_msg",
       Selected(kStartup, EncodeStartupMessage("Atlas", "Install the update?\r\nClose Atlas."))},
      {"name_table", Selected(kNames, EncodeNameTable({{"readme.txt", "Docs\\readme.txt"},
                                                       {"Maps\\north.map", "north.map"}}))},
      {"folders", Selected(kFolders, EncodeTextList({"Docs", "Maps\\South"}))},
      {"commands", Selected(kCommands, EncodeCommands({{3, "tools\\conv.exe", "-q Maps"},
                                                       {1, "C:\\Tools\\tool.exe", "fail"}}))},
      {"files_to_remove",
       Selected(kRemove, EncodeTextList({"old.map", "Maps\\north.map", "Maps"}))},
      {"registry_table",
       Selected(kRegistry,
                EncodeRegistryTable({{1, 1, "Software\\Brindlex\\Atlas", 1, "Maps", "0x1F"},
                                     {1, 2, "Software\\Brindlex\\Atlas", 1, "Level", " -12"},
                                     {1, 0, "Software\\Brindlex\\Atlas", 1, "Hex", "-0XfFfF"},
                                     {2, 1, "Software\\Skipped", 2, "", "x"},
                                     {1, 1, "Software\\Brindlex\\Atlas", 2, "", "north"},
                                     {1, 1, "Software\\Brindlex\\Empty", 0, "", ""}}))},
  };
}

// Every payload without its terminator, and a registry table cut in each of
// its fields.
std::vector<Input> PayloadRegressions() {
  const Bytes keys = EncodeRegistryKeys(AtlasKeys());
  const std::string keysText(keys.begin(), keys.end());
  const std::string command = Text(
      "\x01"
      "C:\\Tools\\tool.exe\0");
  const Bytes record = RegistryRecord(1, "Software\\Brindlex", 1, "Level", "0x1F");
  std::vector<Input> inputs = {
      {"keys_without_last_zero", Selected(kKeys, Bytes(keys.begin(), keys.end() - 1))},
      {"keys_cut_in_last_text",
       Selected(kKeys, Raw(keysText.substr(0, keysText.find("PatchLevel") + 5)))},
      {"startup_question_unterminated", Selected(kStartup, Raw(Text("Atlas\0Install?")))},
      {"startup_caption_unterminated", Selected(kStartup, Raw("Atlas"))},
      {"names_installed_unterminated", Selected(kNames, Raw(Text("readme.txt\0Docs\\r.txt")))},
      {"names_source_unterminated", Selected(kNames, Raw("readme.txt"))},
      {"folders_unterminated", Selected(kFolders, Raw(Text("Docs\0Maps")))},
      {"remove_unterminated", Selected(kRemove, Raw(Text("old.map\0readme.txt")))},
      {"commands_without_closing_record", Selected(kCommands, Raw(command + Text("-a\0")))},
      {"commands_arguments_unterminated",
       Selected(kCommands, Raw(command + Text("-a\0") + command + "-b"))},
      {"registry_without_end", Selected(kRegistry, record)},
      {"empty_payload_keys", Selected(kKeys, {})},
      {"empty_payload_commands", Selected(kCommands, {})},
      {"empty_payload_registry", Selected(kRegistry, {})},
  };
  // Operation, root, key, type, name, data: one cut inside each.
  const size_t key = 8;
  const size_t type = key + sizeof "Software\\Brindlex";
  const size_t name = type + 4;
  const size_t data = name + sizeof "Level";
  for (const size_t cut : {size_t{2}, size_t{6}, key + 3, type + 1, name + 2, data + 2}) {
    inputs.push_back({"registry_cut_at_" + std::to_string(cut),
                      Selected(kRegistry, Bytes(record.begin(), record.begin() + cut))});
  }
  return inputs;
}

Bytes Keys() {
  return EncodeRegistryKeys(AtlasKeys());
}

PackageEntrySource Entry(const std::string& name, const Bytes& content,
                         EntryStorage storage = EntryStorage::kCompressed) {
  return {name, content, storage, 0};
}

// A package of :RegistryKeys, a file and the given section.
Bytes PackageWith(const PackageEntrySource& section) {
  return hostile::WriteStored(
      {Entry(kRegistryKeysSection, Keys()), section, Entry("readme.txt", Raw("Atlas 2"))});
}

// A package whose entry `name` holds `inflated` zero bytes but claims `claimed`.
Bytes Bomb(const std::string& name, uint32_t inflated, uint32_t claimed) {
  Bytes package =
      hostile::WriteStored({Entry(kRegistryKeysSection, Keys()), Entry(name, Bytes(inflated, 0))});
  hostile::ClaimEntrySize(package, 1, claimed);
  return package;
}

Bytes Claiming(bool compressed, uint32_t count) {
  Bytes package = PackageWith(Entry(kFoldersSection, EncodeTextList({"Docs"})));
  if (compressed) hostile::CompressDirectory(package);
  hostile::ClaimEntryCount(package, count);
  return package;
}

Bytes Unterminated(bool compressed, uint32_t record) {
  Bytes package = PackageWith(Entry(kFoldersSection, EncodeTextList({"Docs"})));
  hostile::FillName(package, record, 'n');
  if (compressed) hostile::CompressDirectory(package);
  return package;
}

Bytes ManyRecords(uint32_t count) {
  Bytes package = hostile::WriteStored(
      {Entry(kRegistryKeysSection, Keys()), Entry(":Padding", {}, EntryStorage::kStored)});
  hostile::RepeatRecord(package, 1, count);
  hostile::CompressDirectory(package);
  return package;
}

// Whole packages, for the package and driver fuzzers. Lists hold ten
// thousand items here: a million would only slow every run of the fuzzer.
std::vector<Input> PackageRegressions() {
  constexpr uint32_t kMany = 10000;
  const Bytes command =
      Raw(Text("\x01"
               "C:\\Tools\\tool.exe\0-x\0"));
  const std::string commandText(command.begin(), command.end());
  const Bytes record = RegistryRecord(1, "Software\\Brindlex", 2, "Theme", "dark");
  return {
      {"most_records_stored.pkg", Claiming(false, hostile::kMostRecords)},
      {"most_records_compressed.pkg", Claiming(true, hostile::kMostRecords)},
      {"records_size_wraps.pkg", Claiming(false, hostile::kMostRecords + 1)},
      {"name_unterminated_stored.pkg", Unterminated(false, 2)},
      {"name_unterminated_compressed.pkg", Unterminated(true, 0)},
      {"file_bomb.pkg", Bomb("readme.txt", 1 << 20, 1024)},
      {"section_bomb.pkg", Bomb(kFilesToRemoveSection, 1 << 20, 100)},
      {"many_records.pkg", ManyRecords(kMany)},
      {"many_folders.pkg",
       PackageWith(Entry(kFoldersSection, hostile::Repeated(Text("Docs\0"), kMany, Text("\0"))))},
      {"many_removals.pkg",
       PackageWith(
           Entry(kFilesToRemoveSection, hostile::Repeated(Text("old.map\0"), kMany, Text("\0"))))},
      {"many_name_pairs.pkg",
       PackageWith(Entry(kNameTableSection, hostile::Repeated(Text("a.txt\0b.txt\0"), kMany,
                                                              Text("readme.txt\0r.txt\0\0"))))},
      {"many_commands.pkg",
       PackageWith(Entry(kCommandsSection, hostile::Repeated(commandText, kMany, Text("\0\0"))))},
      {"many_registry_records.pkg",
       PackageWith(Entry(
           kRegistryTableSection,
           hostile::Repeated(std::string(record.begin(), record.end()), kMany, Text("\0\0\0\0"))))},
  };
}

// Authenticode appends its certificate table behind the trailer.
Bytes SignedSelfApplying() {
  Bytes file = test::SelfApplying(test::SamplePe32(0x200),
                                  PackageWith(Entry(kFoldersSection, EncodeTextList({"Docs"}))));
  test::AppendCertificateTable(file, 64);
  return file;
}

bool WriteAll(const std::string& folder, const std::vector<Input>& inputs) {
  for (const Input& input : inputs) {
    if (input.bytes.empty()) {
      std::fprintf(stderr, "no bytes for %s\n", input.name.c_str());
      return false;
    }
    if (!Write(folder + "/" + input.name, input.bytes)) return false;
  }
  return true;
}

}  // namespace
}  // namespace brx

int main(int argc, char** argv) {
  using namespace brx;
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FUZZ_FOLDER (tests/fuzz)\n", argv[0]);
    return 2;
  }
  const std::string fuzz = argv[1];
  const std::vector<Input> packages = PackageRegressions();
  const std::vector<Input> signedSeed = {{"signed_self_applying.exe", SignedSelfApplying()}};
  const bool ok = WriteAll(fuzz + "/corpus/section_payload_fuzzer", PayloadSeeds()) &&
                  WriteAll(fuzz + "/corpus/package_fuzzer", signedSeed) &&
                  WriteAll(fuzz + "/corpus/driver_fuzzer", signedSeed) &&
                  WriteAll(fuzz + "/regressions/section_payload_fuzzer", PayloadRegressions()) &&
                  WriteAll(fuzz + "/regressions/package_fuzzer", packages) &&
                  WriteAll(fuzz + "/regressions/driver_fuzzer", packages);
  return ok ? 0 : 1;
}
