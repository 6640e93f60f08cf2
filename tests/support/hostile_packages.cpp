#include "support/hostile_packages.h"

#include <algorithm>
#include <cstring>

#include "package/section_names.h"
#include "support/package_samples.h"
#include "support/target_fixture.h"

namespace brx::test {
namespace {

constexpr size_t kMiB = 1024 * 1024;
// The largest entryCount whose directory (entryCount * 48 bytes) fits 32 bits.
constexpr uint32_t kMostRecords = UINT32_MAX / kDirectoryEntrySize;

std::vector<uint8_t> PackageWith(const PackageEntrySource& section) {
  return WriteTestPackage({Keys(), section, FileEntry("readme.txt", "Atlas 2")});
}

std::vector<uint8_t> WithFolders() {
  return PackageWith(Section(kFoldersSection, EncodeTextList({"Docs"})));
}

// Replaces the stored directory with its zlib stream.
void CompressDirectory(std::vector<uint8_t>& package) {
  const size_t at = GetLe32(package, kDirectoryOffsetAt);
  const std::vector<uint8_t> stream = ZlibStream({package.begin() + at, package.end()});
  package.resize(at);
  package.insert(package.end(), stream.begin(), stream.end());
  PutLe32(package, kDirectoryFlagsAt, kDirectoryCompressed);
  PutLe32(package, kDirectoryStreamSizeAt, static_cast<uint32_t>(stream.size()));
}

std::vector<uint8_t> Claiming(uint32_t count, bool compressed) {
  std::vector<uint8_t> package = WithFolders();
  if (compressed) CompressDirectory(package);
  PutLe32(package, kEntryCountAt, count);
  return package;
}

std::vector<uint8_t> Unterminated(uint32_t record, bool compressed) {
  std::vector<uint8_t> package = WithFolders();
  std::memset(package.data() + RecordAt(package, record), 'n', kEntryNameSize);
  if (compressed) CompressDirectory(package);
  return package;
}

// Entry `name` holds `inflated` zero bytes as its stream but claims `claimed`.
std::vector<uint8_t> Bomb(const std::string& name, uint32_t inflated, uint32_t claimed) {
  std::vector<uint8_t> package =
      WriteTestPackage({Keys(), Section(name, std::vector<uint8_t>(inflated, 0))});
  PutLe32(package, RecordAt(package, 1) + kEntrySizeAt, claimed);
  return package;
}

// A compressed directory of `count` records: a few kilobytes inflating to
// count * 48 bytes, within deflate's own ratio.
std::vector<uint8_t> ManyRecords(uint32_t count) {
  std::vector<uint8_t> package =
      WriteTestPackage({Keys(), Section(":Padding", {}, EntryStorage::kStored)});
  const size_t at = RecordAt(package, 1);
  const std::vector<uint8_t> record(package.begin() + at,
                                    package.begin() + at + kDirectoryEntrySize);
  package.reserve(package.size() + size_t{count} * kDirectoryEntrySize);
  for (uint32_t i = 2; i < count; ++i) package.insert(package.end(), record.begin(), record.end());
  PutLe32(package, kEntryCountAt, count);
  CompressDirectory(package);
  return package;
}

}  // namespace

std::vector<uint8_t> Repeated(const std::string& item, uint32_t count, const std::string& closing) {
  const size_t size = item.size() * count;
  std::vector<uint8_t> payload(size + closing.size());
  if (size != 0) std::memcpy(payload.data(), item.data(), item.size());
  // Doubling: a few dozen block copies instead of a million small ones.
  for (size_t filled = item.size(); filled < size; filled *= 2) {
    std::memcpy(payload.data() + filled, payload.data(), std::min(filled, size - filled));
  }
  std::memcpy(payload.data() + size, closing.data(), closing.size());
  return payload;
}

std::vector<HostilePackage> HostilePackages(uint32_t many) {
  std::vector<HostilePackage> packages = {
      {"most_records_stored.pkg", Claiming(kMostRecords, false), Ending::kRefused, kMiB},
      {"most_records_compressed.pkg", Claiming(kMostRecords, true), Ending::kRefused, kMiB},
      {"records_size_wraps.pkg", Claiming(kMostRecords + 1, false), Ending::kRefused, kMiB},
      {"name_unterminated_stored.pkg", Unterminated(2, false), Ending::kRefused, kMiB},
      {"name_unterminated_compressed.pkg", Unterminated(0, true), Ending::kRefused, kMiB},
      {"section_bomb.pkg", Bomb(kFilesToRemoveSection, kMiB, 100), Ending::kRefused, kMiB},
      // The mapped file holds the claimed size; nothing near the stream's.
      {"file_bomb.pkg", Bomb("readme.txt", kMiB, 1024), Ending::kFailed, kMiB},
      // A claim past deflate's ratio fails before a file of that size is made.
      {"file_claims_past_its_stream.pkg", Bomb("readme.txt", 16, 64 * kMiB), Ending::kFailed, kMiB,
       "CreateNewFile", 0},
      {"many_records.pkg", ManyRecords(many), Ending::kInstalled,
       size_t{many} * kDirectoryEntrySize + 4 * kMiB},
  };
  // Each list's block, one copy at a time, and small change.
  const auto list = [&](const char* name, const char* section, const std::string& item,
                        const std::string& closing, Ending ending, const char* call,
                        uint64_t calls) {
    packages.push_back({name, PackageWith(Section(section, Repeated(item, many, closing))), ending,
                        item.size() * many + 2 * kMiB, call, calls});
  };
  const std::vector<uint8_t> table =
      EncodeRegistryTable({{1, 1, "Software\\Brindlex", 2, "Theme", "dark"}});
  const std::string record(table.begin(), table.end() - 5);  // without the table's end
  list("many_folders.pkg", kFoldersSection, Raw("Docs\0"), Raw("\0"), Ending::kInstalled,
       "CreateFolder", many);
  list("many_removals.pkg", kFilesToRemoveSection, Raw("old.map\0"), Raw("\0"), Ending::kInstalled,
       "RemoveFolder", many);
  list("many_name_pairs.pkg", kNameTableSection, Raw("a.txt\0b.txt\0"),
       Raw("readme.txt\0r.txt\0\0"), Ending::kInstalled, "CreateNewFile", 1);
  list("many_commands.pkg", kCommandsSection, Raw("\1C:\\Tools\\tool.exe\0-x\0"), Raw("\0\0"),
       Ending::kInstalled, "WaitForProcess", many);
  list("many_commands_first_failing.pkg", kCommandsSection, Raw("\1C:\\Tools\\tool.exe\0fail\0"),
       Raw("\0\0"), Ending::kFailed, "StartProcess", 1);
  list("many_registry_records.pkg", kRegistryTableSection, record, Raw("\0\0\0\0"),
       Ending::kInstalled, "CreateRegistryKey", many);
  return packages;
}

}  // namespace brx::test
