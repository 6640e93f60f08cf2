// Writes the package fuzzer's seed corpus: a few small valid packages made
// with the writer, in both directory forms and behind a program stub.
// Not part of the build; rebuild the seeds when the format changes, from
// the repository's root:
//   g++ -std=c++20 -Isrc src/package/format.cpp src/authoring/{section_encoders,writer}.cpp
//       tests/fuzz/make_seeds.cpp -lz -o /tmp/make_seeds
//   /tmp/make_seeds tests/fuzz/corpus/package_fuzzer
#include <cstdio>
#include <string>
#include <vector>

#include "authoring/section_encoders.h"
#include "authoring/writer.h"
#include "package/section_names.h"

namespace brx {
namespace {

std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

std::vector<PackageEntrySource> FullScript(EntryStorage storage) {
  RegistryKeysInput keys;
  keys.keyPath = "SOFTWARE\\Brindlex\\Atlas";
  keys.packageLevel = 2;
  const uint32_t bit20 = 0x100000;
  return {
      {kRegistryKeysSection, EncodeRegistryKeys(keys), storage, bit20},
      {kStartupMsgSection, EncodeStartupMessage("Atlas", "Install the update?\r\nClose Atlas."),
       storage, bit20},
      {kNameTableSection, EncodeNameTable({{"readme.txt", "Docs\\readme.txt"}}), storage, bit20},
      {kFoldersSection, EncodeTextList({"Docs", "Maps"}), storage, bit20},
      {"readme.txt", Bytes("Atlas 2: new maps.\r\n"), storage, bit20},
      {"Maps\\north.map", std::vector<uint8_t>(300, 'N'), storage, bit20},
      {kCommandsSection, EncodeCommands({{3, "tools\\conv.exe", "-q Maps"}}), storage, bit20},
      {kFilesToRemoveSection, EncodeTextList({"old.map", "Old\\"}), storage, bit20},
      {kRegistryTableSection,
       EncodeRegistryTable({{1, 1, "Software\\Brindlex\\Atlas", 1, "Maps", "0x1F"},
                            {1, 2, "Software\\Brindlex\\Atlas", 2, "", "north"}}),
       storage, bit20},
  };
}

bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  return std::fclose(out) == 0 && written;
}

}  // namespace
}  // namespace brx

int main(int argc, char** argv) {
  using namespace brx;
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  PackageWriterOptions compressed;
  PackageWriterOptions stored;
  stored.compressDirectory = false;
  std::string error;
  const std::vector<uint8_t> full =
      WritePackage(FullScript(EntryStorage::kCompressed), compressed, &error);
  const std::vector<uint8_t> plain =
      WritePackage(FullScript(EntryStorage::kStored), stored, &error);
  const std::vector<uint8_t> minimal =
      WritePackage({{"a.txt", Bytes("a"), EntryStorage::kStored, 0}}, stored, &error);
  if (full.empty() || plain.empty() || minimal.empty()) {
    std::fprintf(stderr, "cannot write a seed: %s\n", error.c_str());
    return 1;
  }
  const std::vector<uint8_t> stub = Bytes("MZ stub of PATCH");
  const bool ok = Write(folder + "/compressed.pkg", full) && Write(folder + "/stored.pkg", plain) &&
                  Write(folder + "/minimal.pkg", minimal) &&
                  Write(folder + "/self_applying.exe", AppendPackageToStub(stub, full));
  if (!ok) std::fprintf(stderr, "cannot write into %s\n", folder.c_str());
  return ok ? 0 : 1;
}
