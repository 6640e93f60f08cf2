#include "brxpack/manifest/manifest_parser.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <system_error>
#include <vector>

#include "brxpack/contents/closest_name.h"
#include "brxpack/contents/display_text.h"
#include "brxpack/contents/package_path.h"
#include "brxpack/contents/section_checks.h"
#include "brxpack/contents/windows1251.h"
#include "brxpack/host/host_file_io.h"
#include "brxpack/host/host_path.h"
#include "brxpack/manifest/compression_level.h"
#include "brxpack/manifest/manifest_base.h"
#include "brxpack/manifest/registry_terms.h"
#include "brxpack/stub/brand.h"
#include "package/entry_lookup.h"
#include "package/format.h"
#include "package/section_names.h"
#include "package/section_readers.h"

namespace brxpack {

namespace {

// Collects every problem of one manifest with its place, to be told in the
// order of the file, as a compiler does.
class Problems {
 public:
  // taken: reading a base, the paths the manifest naming it uses.
  Problems(std::string file, const TakenPaths* taken) : file_(std::move(file)), taken_(taken) {}

  std::string Place(const toml::source_region& region) const {
    return file_ + ":" + std::to_string(region.begin.line) + ":" +
           std::to_string(region.begin.column);
  }
  void Add(const toml::source_region& region, const std::string& field,
           const std::string& message) {
    AddLine(region, field + ": " + message);
  }
  void AddLine(const toml::source_region& region, const std::string& text) {
    lines_.push_back({{region.begin.line, region.begin.column}, Place(region) + ": " + text});
  }
  // A base's path that the manifest naming the base uses too.
  void CheckTaken(const toml::node* node, const std::string& field) {
    if (taken_ == nullptr || node == nullptr || !node->is_string()) return;
    const std::string& path = node->as_string()->get();
    const auto found = taken_->find(ClashKey(path));
    if (found == taken_->end()) return;
    AddLine(node->source(), field + " " + TomlString(path) + " clashes with " + found->second);
  }
  bool empty() const { return lines_.empty(); }
  std::string Joined() {
    std::stable_sort(lines_.begin(), lines_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string text;
    for (const auto& line : lines_) text += (text.empty() ? "" : "\n") + line.second;
    return text;
  }

 private:
  std::string file_;
  const TakenPaths* taken_;
  std::vector<std::pair<std::pair<uint32_t, uint32_t>, std::string>> lines_;
};

// Typed reads of one table's keys, each reporting its own problems under the
// table's field prefix ("target.", "command[2].").
class TableReader {
 public:
  TableReader(const toml::table& table, std::string prefix, Problems& problems)
      : table_(table), prefix_(std::move(prefix)), problems_(problems) {}

  std::string Field(std::string_view key) const { return prefix_ + std::string(key); }
  // "FILE:LINE:COLUMN: file[2]": where the table starts, and its name.
  std::string Where() const {
    std::string name = prefix_;
    if (!name.empty() && name.back() == '.') name.pop_back();
    return problems_.Place(table_.source()) + ": " + name;
  }
  const toml::node* Get(std::string_view key) const { return table_.get(key); }
  bool Has(std::string_view key) const { return Get(key) != nullptr; }

  void RejectUnknownKeys(std::initializer_list<std::string_view> known) {
    for (auto&& [key, node] : table_) {
      const std::vector<std::string> names(known.begin(), known.end());
      if (std::find(names.begin(), names.end(), key.str()) == names.end())
        problems_.Add(key.source(), Field(key.str()), "unknown key" + DidYouMean(key.str(), names));
    }
  }

  void Missing(std::string_view key) {
    problems_.Add(table_.source(), Field(key), "is required but missing");
  }

  // A text as it is (UTF-8), for host paths.
  std::optional<std::string> Utf8(std::string_view key, bool required) {
    return Exact<std::string>(key, required, "must be a text in quotes");
  }

  // A text for the package, converted to Windows-1251.
  std::optional<std::string> Text(std::string_view key, bool required) {
    const std::optional<std::string> utf8 = Utf8(key, required);
    if (!utf8) return std::nullopt;
    return Convert(*table_.get(key), Field(key), *utf8);
  }

  std::optional<std::string> Convert(const toml::node& node, const std::string& field,
                                     const std::string& utf8) {
    Result<std::string> converted = Utf8ToWindows1251(utf8);
    if (!converted.ok()) {
      problems_.Add(node.source(), field, converted.error());
      return std::nullopt;
    }
    return std::move(*converted);
  }

  std::optional<int64_t> Integer(std::string_view key, int64_t lowest, int64_t highest,
                                 bool required) {
    const std::optional<int64_t> value = Exact<int64_t>(key, required, "must be a whole number");
    if (!value || (*value >= lowest && *value <= highest)) return value;
    problems_.Add(table_.get(key)->source(), Field(key),
                  "must lie between " + std::to_string(lowest) + " and " + std::to_string(highest) +
                      ", not " + std::to_string(*value));
    return std::nullopt;
  }

  std::optional<bool> Boolean(std::string_view key) {
    return Exact<bool>(key, false, "must be true or false");
  }

  // A list of paths for the package, each judged by the one path rule (an
  // empty item, which would end the list where it stands, among others).
  std::vector<std::string> PathList(std::string_view key, PathUse use) {
    std::vector<std::string> items;
    for (const auto& [node, utf8, field] : Utf8List(key, true)) {
      if (utf8.empty()) {
        problems_.Add(node->source(), field, "is empty, which would end the list early");
        continue;
      }
      problems_.CheckTaken(node, field);
      if (std::optional<std::string> text = Convert(*node, field, utf8)) {
        items.push_back(WithBackslashes(std::move(*text)));
        Judge(*node, field, items.back(), PackagePathProblem(items.back(), use));
      }
    }
    return items;
  }

  // A list of paths below a host folder, each with its place for messages.
  std::vector<PayloadPick> Picks(std::string_view key) {
    std::vector<PayloadPick> picks;
    for (const auto& [node, path, field] : Utf8List(key, false)) {
      if (path.empty()) {
        problems_.Add(node->source(), field, "must be a path in quotes");
        continue;
      }
      picks.push_back({path, problems_.Place(node->source()) + ": " + field});
    }
    return picks;
  }

  // The texts of a list as they are (UTF-8), each with its node and field
  // ("file[2].source[3]"); nothing when the key is absent.
  struct ListText {
    const toml::node* node;
    std::string text;
    std::string field;
  };
  std::vector<ListText> Utf8List(std::string_view key, bool required) {
    std::vector<ListText> items;
    const toml::array* array = Array(key, required);
    for (size_t i = 0; array != nullptr && i < array->size(); ++i) {
      const toml::node& item = *array->get(i);
      std::string field = Field(key) + "[" + std::to_string(i + 1) + "]";
      if (item.is_string()) {
        items.push_back({&item, item.as_string()->get(), std::move(field)});
      } else {
        problems_.Add(item.source(), field, "must be a text in quotes");
      }
    }
    return items;
  }

  // A problem when the text must not be used: a package path, a program or
  // a registry name.
  void Judge(const toml::node& node, const std::string& field, const std::string& text,
             const std::optional<std::string>& problem) {
    if (problem) problems_.Add(node.source(), field, ShownName(text) + " " + *problem);
  }
  // The same for the key's text, when the key is given.
  void JudgeKey(std::string_view key, const std::string& text,
                const std::optional<std::string>& problem) {
    if (const toml::node* node = table_.get(key)) Judge(*node, Field(key), text, problem);
  }

  void Problem(std::string_view key, const std::string& message) {
    const toml::node* node = table_.get(key);
    problems_.Add(node != nullptr ? node->source() : table_.source(), Field(key), message);
  }

 private:
  // The key's value when it holds a T; nothing, with a problem when it holds
  // something else (`wanted` says what) or when a required one is missing.
  template <typename T>
  std::optional<T> Exact(std::string_view key, bool required, const char* wanted) {
    const toml::node* node = table_.get(key);
    if (node == nullptr) {
      if (required) Missing(key);
      return std::nullopt;
    }
    std::optional<T> value = node->value_exact<T>();
    if (!value) problems_.Add(node->source(), Field(key), wanted);
    return value;
  }

  // The key's list, or null (with a problem when it is not a list, or when a
  // required one is missing).
  const toml::array* Array(std::string_view key, bool required) {
    const toml::node* node = table_.get(key);
    if (node == nullptr && required) Missing(key);
    if (node == nullptr || node->is_array()) return node != nullptr ? node->as_array() : nullptr;
    problems_.Add(node->source(), Field(key), "must be a list of texts in [ ]");
    return nullptr;
  }

  const toml::table& table_;
  std::string prefix_;
  Problems& problems_;
};

// The tables of an array of tables ([[name]]), each read with its own
// prefix ("file[2].") and its keys checked; a problem when the key holds
// something else.
std::vector<TableReader> TablesOf(const toml::table& root, std::string_view key,
                                  std::initializer_list<std::string_view> known,
                                  Problems& problems) {
  std::vector<TableReader> tables;
  const toml::node* node = root.get(key);
  if (node == nullptr) return tables;
  const toml::array* array = node->as_array();
  if (array == nullptr || !array->is_array_of_tables()) {
    problems.Add(node->source(), std::string(key),
                 "must be written as [[" + std::string(key) + "]] tables");
    return tables;
  }
  for (const toml::node& element : *array) {
    tables.emplace_back(*element.as_table(),
                        std::string(key) + "[" + std::to_string(tables.size() + 1) + "].",
                        problems);
    tables.back().RejectUnknownKeys(known);
  }
  return tables;
}

// The [key] table read with its keys checked; nothing when it is absent or
// (with a problem) not a table.
std::optional<TableReader> TableOf(const toml::table& root, std::string_view key,
                                   std::initializer_list<std::string_view> known,
                                   Problems& problems) {
  const toml::node* node = root.get(key);
  if (node == nullptr) return std::nullopt;
  if (!node->is_table()) {
    problems.Add(node->source(), std::string(key),
                 "must be written as a [" + std::string(key) + "] table");
    return std::nullopt;
  }
  std::optional<TableReader> reader(std::in_place, *node->as_table(), std::string(key) + ".",
                                    problems);
  reader->RejectUnknownKeys(known);
  return reader;
}

// Entry names live in a 32-byte field: at most 31 bytes, and a name
// beginning with ":" would make the entry a section.
void CheckEntryName(TableReader& reader, std::string_view key, const std::string& name,
                    bool section) {
  if (name.empty()) {
    reader.Problem(key, "is empty");
  } else if (name.size() >= brx::kEntryNameSize) {
    reader.Problem(key, "is " + std::to_string(name.size()) +
                            " bytes long; entry names hold at most " +
                            std::to_string(brx::kEntryNameSize - 1));
  } else if (section && name[0] != ':') {
    reader.Problem(key, "must begin with ':'");
  } else if (!section && name[0] == ':') {
    reader.Problem(key, "must not begin with ':', which marks a section");
  }
}

// The readers below keep what they read, problems or not: any problem fails
// the whole manifest (Parse), so a record read with one is never used.
void ReadPackageTable(const toml::table& root, Manifest& manifest, Problems& problems) {
  std::optional<TableReader> reader = TableOf(root, "package", {"level", "output"}, problems);
  if (!reader) return;
  if (std::optional<int64_t> level = reader->Integer("level", 0, kMaxCompressionLevel, false)) {
    manifest.level = static_cast<int>(*level);
  }
  if (const std::optional<std::string> output = reader->Utf8("output", false)) {
    manifest.output = PathFromManifest(*output);
  }
}

void ReadTarget(const toml::table& root, Manifest& manifest, Problems& problems) {
  std::optional<TableReader> reader = TableOf(
      root, "target",
      {"registry_key", "folder_value", "program_value", "level_value", "patch_level", "arch"},
      problems);
  if (!reader) return;
  if (const std::optional<std::string> arch = reader->Utf8("arch", false)) {
    manifest.arch = ParseArch(*arch);
    if (!manifest.arch) {
      reader->Problem("arch", "must be \"x86\" or \"x64\", not " + TomlString(*arch));
    }
  }
  // Unset value names keep the installer's defaults.
  brx::RegistryKeysInput keys;
  const std::pair<const char*, std::string*> texts[] = {{"registry_key", &keys.keyPath},
                                                        {"folder_value", &keys.folderValueName},
                                                        {"program_value", &keys.programValueName},
                                                        {"level_value", &keys.levelValueName}};
  for (const auto& [name, text] : texts) {
    const std::optional<std::string> read = reader->Text(name, text == &keys.keyPath);
    if (read && read->empty() && text == &keys.keyPath) reader->Problem(name, "is empty");
    *text = read.value_or(*text);
  }
  const std::optional<int64_t> level = reader->Integer("patch_level", INT32_MIN, INT32_MAX, true);
  keys.packageLevel = static_cast<int32_t>(level.value_or(keys.packageLevel));
  for (const auto& [name, text] : texts) {
    reader->JudgeKey(name, *text, ControlCharacterProblem(*text));
  }
  manifest.script.target = keys;
}

void ReadStartup(const toml::table& root, ScriptSections& script, Problems& problems) {
  std::optional<TableReader> reader = TableOf(root, "startup", {"caption", "question"}, problems);
  if (!reader) return;
  script.startup = StartupText{reader->Text("caption", true).value_or(""),
                               reader->Text("question", true).value_or("")};
}

void ReadPayload(const toml::table& root, Manifest& manifest, Problems& problems) {
  std::optional<TableReader> reader =
      TableOf(root, "payload", {"folder", "only", "symlinks", "exclude", "include"}, problems);
  if (!reader) return;
  PayloadSettings payload;
  const std::optional<std::string> folder = reader->Utf8("folder", true);
  payload.rules.followLinks = reader->Boolean("symlinks").value_or(false);
  for (const auto& [key, patterns] : {std::pair{"exclude", &payload.rules.exclude},
                                      std::pair{"include", &payload.rules.include}}) {
    for (const auto& [node, text, field] : reader->Utf8List(key, false)) {
      Result<PathPattern> pattern = PathPattern::Parse(text);
      if (pattern.ok()) {
        patterns->push_back(std::move(*pattern));
      } else {
        problems.Add(node->source(), field, pattern.error());
      }
    }
  }
  if (reader->Has("only")) payload.only = reader->Picks("only");
  payload.folder = PathFromManifest(folder.value_or(""));
  payload.where = reader->Where() + ".folder";
  manifest.payload = std::move(payload);
}

void ReadFiles(const toml::table& root, Manifest& manifest, Problems& problems) {
  for (TableReader& reader :
       TablesOf(root, "file", {"source", "install", "entry", "stored"}, problems)) {
    FileItem item;
    item.source = PathFromManifest(reader.Utf8("source", true).value_or(""));
    item.install = reader.Text("install", false);
    if (item.install) item.install = WithBackslashes(std::move(*item.install));
    item.entry = reader.Text("entry", false);
    item.stored = reader.Boolean("stored").value_or(false);
    item.where = reader.Where();
    if (!reader.Has("install") && !reader.Has("entry")) {
      reader.Problem("install", "is required (the installed path), unless entry is given");
      continue;
    }
    const char* installed = reader.Has("install") ? "install" : "entry";
    problems.CheckTaken(reader.Get(installed), reader.Field(installed));
    if (item.entry) CheckEntryName(reader, "entry", *item.entry, false);
    if (item.install) {
      reader.JudgeKey("install", *item.install,
                      PackagePathProblem(*item.install, PathUse::kInstalledFile));
    }
    manifest.files.push_back(std::move(item));
  }
}

void ReadRenames(const toml::table& root, ScriptSections& script, Problems& problems) {
  for (TableReader& reader : TablesOf(root, "rename", {"entry", "install"}, problems)) {
    std::optional<std::string> entry = reader.Text("entry", true);
    std::optional<std::string> install = reader.Text("install", true);
    if (install) install = WithBackslashes(std::move(*install));
    if (entry) CheckEntryName(reader, "entry", *entry, false);
    if (install) {
      reader.JudgeKey("install", *install, PackagePathProblem(*install, PathUse::kInstalledFile));
    }
    script.renames.push_back({entry.value_or(""), install.value_or(""), reader.Where()});
  }
}

// [folders] create and [remove] paths: a table holding one list of paths.
void ReadPathTable(const toml::table& root, std::string_view table, std::string_view key,
                   PathUse use, std::optional<std::vector<std::string>>& paths,
                   Problems& problems) {
  if (std::optional<TableReader> reader = TableOf(root, table, {key}, problems)) {
    paths = reader->PathList(key, use);
  }
}

void ReadCommands(const toml::table& root, ScriptSections& script, Problems& problems) {
  std::vector<TableReader> tables =
      TablesOf(root, "command", {"program", "arguments", "wait", "relative"}, problems);
  if (tables.empty()) return;
  std::vector<brx::CommandInput>& commands = script.commands.emplace();
  for (TableReader& reader : tables) {
    std::optional<std::string> program = reader.Text("program", true);
    std::optional<std::string> arguments = reader.Text("arguments", false);
    // Waiting and a program shipped under the target folder are what a
    // publisher nearly always means; both can be switched off.
    const bool wait = reader.Boolean("wait").value_or(true);
    const bool relative = reader.Boolean("relative").value_or(true);
    if (program && relative) program = WithBackslashes(std::move(*program));
    if (program && program->empty()) {
      reader.Problem("program", "is empty, which would end the command list early");
    } else if (program) {
      reader.JudgeKey("program", *program, ProgramProblem(*program, relative));
    }
    commands.push_back({static_cast<uint8_t>((wait ? brx::kCommandWait : 0) |
                                             (relative ? brx::kCommandRelative : 0)),
                        program.value_or(""), arguments.value_or("")});
    script.commandWhere.push_back(reader.Where());
  }
}

// A code that no word maps to; plain numbers rather than optionals, which
// GCC's -Os flow analysis takes for uninitialised.
constexpr uint32_t kNoCode = UINT32_MAX;

uint32_t CodeOf(TableReader& reader, std::string_view key, const char* words,
                std::optional<uint32_t> (*code)(std::string_view), const char* fallback) {
  const std::optional<std::string> word = reader.Utf8(key, fallback == nullptr);
  if (!word && fallback == nullptr) return kNoCode;
  const std::optional<uint32_t> found = code(word.value_or(fallback != nullptr ? fallback : ""));
  if (!found) {
    reader.Problem(key, std::string("must be ") + words + ", not \"" + word.value_or("") + "\"");
    return kNoCode;
  }
  return *found;
}

// The data's form follows the type: a number (or its text) for dword, a text
// for string, nothing for key-only. Nothing when it is missing or wrong.
std::optional<std::string> RegistryData(TableReader& reader, uint32_t type) {
  const toml::node* node = reader.Get("data");
  if (type == brx::kRegistryTypeKeyOnly) {
    if (node != nullptr) reader.Problem("data", "is not used by a key-only value; remove it");
    return std::string();
  }
  if (node == nullptr) {
    reader.Missing("data");
    return std::nullopt;
  }
  if (type == brx::kRegistryTypeText) return reader.Text("data", true);
  if (node->is_integer()) {
    const int64_t value = node->as_integer()->get();
    if (value < INT32_MIN || value > UINT32_MAX) {
      reader.Problem("data", "does not fit in a dword");
      return std::nullopt;
    }
    // Above the signed range the installer's text reader wraps: write the
    // same 32 bits as a negative number.
    return std::to_string(value > INT32_MAX ? static_cast<int32_t>(value) : value);
  }
  if (node->is_string() && IsCleanNumberText(node->as_string()->get())) {
    return node->as_string()->get();
  }
  reader.Problem("data", "must be a whole number, or a text such as \"42\" or \"0x1F\"");
  return std::nullopt;
}

void ReadRegistry(const toml::table& root, ScriptSections& script, Problems& problems) {
  std::vector<TableReader> tables =
      TablesOf(root, "registry", {"root", "key", "name", "type", "data", "operation"}, problems);
  if (tables.empty()) return;
  std::vector<brx::RegistryValueInput>& records = script.registry.emplace();
  for (TableReader& reader : tables) {
    brx::RegistryValueInput record;
    record.root = CodeOf(reader, "root", "\"HKCU\" or \"HKLM\"", RootCode, nullptr);
    record.type =
        CodeOf(reader, "type", "\"dword\", \"string\" or \"key-only\"", TypeCode, nullptr);
    record.operation = CodeOf(reader, "operation", "\"write\" or \"skip\"", OperationCode, "write");
    record.key = reader.Text("key", true).value_or("");
    record.valueName = reader.Text("name", false).value_or("");
    if (record.type != kNoCode) record.data = RegistryData(reader, record.type).value_or("");
    reader.JudgeKey("key", record.key, ControlCharacterProblem(record.key));
    reader.JudgeKey("name", record.valueName, ControlCharacterProblem(record.valueName));
    records.push_back(std::move(record));
  }
}

void ReadRawSections(const toml::table& root, ScriptSections& script, Problems& problems) {
  for (TableReader& reader : TablesOf(root, "section", {"name", "bytes"}, problems)) {
    std::optional<std::string> name = reader.Text("name", true);
    std::optional<std::string> hex = reader.Utf8("bytes", true);
    if (name) CheckEntryName(reader, "name", *name, true);
    if (name && brx::ClassifySection(name->c_str()) == brx::SectionKind::kDigest) {
      reader.Problem("name", "names the package digest, which every build writes itself");
    }
    std::optional<std::vector<uint8_t>> bytes;
    if (hex) {
      bytes = BytesFromHex(*hex);
      if (!bytes) reader.Problem("bytes", "must be pairs of hexadecimal digits");
    }
    if (!name || !bytes) continue;
    // The tables' checks stand for what they write; bytes carried as they
    // are get the checks verify makes of a section.
    const std::vector<std::string> faults = CheckSection(*name, SectionBytes(*bytes));
    for (const std::string& fault : faults) reader.Problem("bytes", fault);
    if (faults.empty()) script.raw.push_back({*name, std::move(*bytes), reader.Where()});
  }
}

// Texts for the stub's version information stay UTF-8: it stores UTF-16.
void ReadBrand(const toml::table& root, Manifest& manifest, Problems& problems) {
  std::optional<TableReader> reader =
      TableOf(root, "brand", {"company", "product", "version", "description", "copyright", "icon"},
              problems);
  if (!reader) return;
  Brand brand;
  brand.product = reader->Utf8("product", true).value_or("");
  const std::optional<std::string> version = reader->Utf8("version", true);
  if (version && !ParseVersionNumbers(*version)) {
    reader->Problem("version",
                    "must be one to four numbers 0-65535 joined by dots, such as \"2.0\"");
  }
  brand.version = version.value_or("");
  brand.company = reader->Utf8("company", false).value_or("");
  brand.description = reader->Utf8("description", false).value_or("");
  brand.copyright = reader->Utf8("copyright", false).value_or("");
  brand.icon = PathFromManifest(reader->Utf8("icon", false).value_or(""));
  brand.where = reader->Where();
  manifest.brand = std::move(brand);
}

Result<Manifest> WithBase(Manifest manifest, const std::string& base) {
  const std::filesystem::path named = PathFromManifest(base);
  const TakenPaths taken = TakenBy(manifest);
  Result<Manifest> read = ReadManifestFile((manifest.folder / named).lexically_normal(), &taken);
  if (!read.ok()) return read.TakeError();
  Status merged = MergeBase(manifest, std::move(*read), named.parent_path());
  if (!merged.ok()) return merged.TakeError();
  return manifest;
}

}  // namespace

Result<Manifest> ParseManifest(std::string_view text, const std::filesystem::path& path,
                               const TakenPaths* taken) {
  const std::string shownPath = Utf8FromPath(path);
  toml::table root;
  try {
    root = toml::parse(text, shownPath);
  } catch (const toml::parse_error& error) {
    return Error{shownPath + ":" + std::to_string(error.source().begin.line) + ":" +
                 std::to_string(error.source().begin.column) + ": " +
                 std::string(error.description())};
  }

  Problems problems(shownPath, taken);
  TableReader top(root, "", problems);
  top.RejectUnknownKeys({"base", "package", "target", "startup", "payload", "file", "rename",
                         "folders", "command", "remove", "registry", "section", "brand"});
  const std::optional<std::string> base = top.Utf8("base", false);
  if (base && taken != nullptr) top.Problem("base", "names a base of its own; a base takes none");
  Manifest manifest;
  manifest.path = path;
  manifest.folder = path.parent_path();
  ReadPackageTable(root, manifest, problems);
  ReadTarget(root, manifest, problems);
  ReadStartup(root, manifest.script, problems);
  if (const toml::node* payload = root.get("payload"); payload != nullptr && taken != nullptr) {
    problems.Add(payload->source(), "payload",
                 "the diff writes [payload] itself; name further files with [[file]]");
  } else {
    ReadPayload(root, manifest, problems);
  }
  ReadFiles(root, manifest, problems);
  ReadRenames(root, manifest.script, problems);
  ReadPathTable(root, "folders", "create", PathUse::kFolder, manifest.script.folders, problems);
  ReadCommands(root, manifest.script, problems);
  ReadPathTable(root, "remove", "paths", PathUse::kRemoval, manifest.script.removals, problems);
  ReadRegistry(root, manifest.script, problems);
  ReadRawSections(root, manifest.script, problems);
  ReadBrand(root, manifest, problems);
  // Without :RegistryKeys the installer cannot find the program to update;
  // a section carried byte for byte may stand in for the table, and a base
  // holds one.
  bool hasTarget = root.get("target") != nullptr || root.get("base") != nullptr;
  for (const RawSection& raw : manifest.script.raw) {
    hasTarget = hasTarget || brx::EntryNamesEqual(raw.name.c_str(), brx::kRegistryKeysSection);
  }
  if (!hasTarget) {
    problems.Add(root.source(), "target",
                 "is required: the [target] table names the program to update");
  }
  if (!problems.empty()) return Error{problems.Joined()};
  if (base) return WithBase(std::move(manifest), *base);
  return manifest;
}

Result<Manifest> ReadManifestFile(const std::filesystem::path& path, const TakenPaths* taken) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    return Error{Utf8FromPath(path) + ": a folder; build takes the manifest file (such as " +
                 Utf8FromPath(path / "brxpack.toml") + ")"};
  }
  Result<std::vector<uint8_t>> bytes = ReadWholeFile(path, std::nullopt);
  if (!bytes.ok()) return bytes.TakeError();
  return ParseManifest({reinterpret_cast<const char*>(bytes->data()), bytes->size()}, path, taken);
}

}  // namespace brxpack
