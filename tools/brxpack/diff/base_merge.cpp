#include "brxpack/diff/base_merge.h"

#include <toml++/toml.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "brxpack/manifest/manifest_parser.h"
#include "brxpack/contents/display_text.h"
#include "brxpack/host/host_path.h"

namespace brxpack {

namespace fs = std::filesystem;

namespace {

struct Edit {
  size_t begin;
  size_t end;
  std::string text;
};

// Byte offsets of the base's nodes: toml++ counts columns in characters.
class Offsets {
 public:
  explicit Offsets(const std::string& text) : text_(text) {
    lineStarts_.push_back(0);
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n') lineStarts_.push_back(i + 1);
    }
  }
  size_t Of(const toml::source_position& position) const {
    size_t offset = lineStarts_[std::min<size_t>(position.line, lineStarts_.size()) - 1];
    for (uint32_t column = 1; column < position.column && offset < text_.size(); ++column) {
      const auto lead = static_cast<unsigned char>(text_[offset]);
      offset += lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    }
    return std::min(offset, text_.size());
  }
  Edit Replace(const toml::node& node, std::string text) const {
    return {Of(node.source().begin), Of(node.source().end), std::move(text)};
  }

 private:
  const std::string& text_;
  std::vector<size_t> lineStarts_;
};

std::string Place(const fs::path& base, const toml::node& node) {
  return Utf8FromPath(base) + ":" + std::to_string(node.source().begin.line) + ":" +
         std::to_string(node.source().begin.column);
}

std::vector<std::string> Texts(const toml::array* array) {
  std::vector<std::string> texts;
  for (size_t i = 0; array != nullptr && i < array->size(); ++i) {
    if (const auto* text = array->get(i)->as_string()) texts.push_back(text->get());
  }
  return texts;
}

// The paths the base names, each checked against what the diff found.
void FindClashes(const fs::path& base, const toml::table& root, const DiffPaths& paths,
                 std::vector<std::string>& clashes) {
  const auto check = [&](const toml::node* node, const std::string& field) {
    if (node == nullptr || !node->is_string()) return;
    const auto found = paths.found.find(ClashKey(node->as_string()->get()));
    if (found == paths.found.end()) return;
    clashes.push_back(Place(base, *node) + ": " + field + " " +
                      TomlString(node->as_string()->get()) +
                      " clashes with the diff: " + found->second);
  };
  if (const toml::array* files = root["file"].as_array()) {
    for (size_t i = 0; i < files->size(); ++i) {
      const toml::table* file = files->get(i)->as_table();
      const bool install = file != nullptr && file->contains("install");
      if (file != nullptr) {
        check(file->get(install ? "install" : "entry"),
              "file[" + std::to_string(i + 1) + (install ? "].install" : "].entry"));
      }
    }
  }
  for (const auto& [table, key] : {std::pair{"folders", "create"}, std::pair{"remove", "paths"}}) {
    const toml::array* list = root[table][key].as_array();
    for (size_t i = 0; list != nullptr && i < list->size(); ++i) {
      check(list->get(i), std::string(table) + "." + key + "[" + std::to_string(i + 1) + "]");
    }
  }
}

// Host paths in the base start from its folder; in the merged manifest they
// start from the manifest's.
void RebaseHostPaths(const fs::path& baseFolder, const fs::path& manifestFolder,
                     const toml::table& root, const Offsets& offsets, std::vector<Edit>& edits) {
  const auto rebase = [&](const toml::node* node) {
    if (node == nullptr || !node->is_string()) return;
    const fs::path path = baseFolder / PathFromUtf8(node->as_string()->get());
    const fs::path relative = path.lexically_relative(manifestFolder);
    const fs::path shown = relative.empty() ? path : relative;
    edits.push_back(offsets.Replace(*node, TomlString(Utf8FromPath(shown.generic_u8string()))));
  };
  rebase(root["package"]["output"].node());
  rebase(root["brand"]["icon"].node());
  if (const toml::array* files = root["file"].as_array()) {
    for (size_t i = 0; i < files->size(); ++i) rebase(files->get(i)->as_table()->get("source"));
  }
}

Result<std::string> ReadText(const fs::path& path) {
  std::ifstream stream(path, std::ios::binary);
  std::ostringstream text;
  text << stream.rdbuf();
  if (!stream) return Error{Utf8FromPath(path) + ": cannot read: " + LastSystemErrorText()};
  return text.str();
}

}  // namespace

Result<MergedBase> MergeBase(const fs::path& base, const fs::path& manifestFolder,
                             const DiffPaths& paths) {
  Result<std::string> text = ReadText(base);
  if (!text.ok()) return text.TakeError();
  Result<Manifest> valid = ParseManifest(*text, base);
  if (!valid.ok()) return valid.TakeError();
  const toml::table root = toml::parse(*text, Utf8FromPath(base));
  if (const toml::node* payload = root.get("payload")) {
    return Error{Place(base, *payload) +
                 ": payload: the diff writes [payload] itself; name further files with [[file]]"};
  }
  std::vector<std::string> clashes;
  FindClashes(base, root, paths, clashes);
  if (!clashes.empty()) {
    std::string joined;
    for (const std::string& clash : clashes) joined += (joined.empty() ? "" : "\n") + clash;
    return Error{joined};
  }

  const Offsets offsets(*text);
  std::vector<Edit> edits;
  MergedBase merged;
  if (const toml::node* create = root["folders"]["create"].node()) {
    merged.hasFolders = true;
    edits.push_back(offsets.Replace(
        *create, TomlList({{"from the base", Texts(create->as_array()), {}},
                           {"new folders of NEW that no file creates", paths.newFolders, {}}})));
  }
  if (const toml::node* remove = root["remove"]["paths"].node()) {
    merged.hasRemove = true;
    edits.push_back(offsets.Replace(
        *remove, TomlList({{"files NEW lacks", paths.removedFiles, {}},
                           {"from the base", Texts(remove->as_array()), {}},
                           {"folders NEW lacks, deepest first", paths.removedFolders, {}}})));
  }
  const fs::path baseFolder = fs::absolute(base).parent_path();
  const fs::path here = fs::absolute(manifestFolder).lexically_normal();
  if (baseFolder.lexically_normal() != here) {
    RebaseHostPaths(baseFolder, here, root, offsets, edits);
  }
  std::sort(edits.begin(), edits.end(),
            [](const Edit& a, const Edit& b) { return a.begin > b.begin; });
  merged.text = std::move(*text);
  for (const Edit& edit : edits) {
    merged.text.replace(edit.begin, edit.end - edit.begin, edit.text);
  }
  return merged;
}

}  // namespace brxpack
