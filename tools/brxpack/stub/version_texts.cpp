#include "brxpack/stub/version_texts.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "brxpack/stub/pe_resources_bytes.h"
#include "brxpack/contents/utf8.h"

namespace brxpack {

namespace {

// One node: [begin, end) of its bytes; its key; where its value and its
// children begin.
struct Node {
  size_t end = 0;
  std::u16string key;
  size_t value = 0;
  size_t valueLength = 0;  // in bytes for binary values, in UTF-16 units for texts
  bool text = false;
  size_t children = 0;
};

size_t Aligned(size_t offset) {
  return (offset + 3) / 4 * 4;
}

// The node at `at`, which must end by `limit`.
std::optional<Node> ReadNode(brx::MemoryRange bytes, size_t at, size_t limit) {
  if (at + 6 > limit) return std::nullopt;
  Node node;
  const size_t length = ReadLe16(bytes.data + at);
  node.end = at + length;
  if (length < 6 || node.end > limit) return std::nullopt;
  node.valueLength = ReadLe16(bytes.data + at + 2);
  node.text = ReadLe16(bytes.data + at + 4) == 1;
  size_t position = at + 6;
  for (;; position += 2) {
    if (position + 2 > node.end) return std::nullopt;
    const uint16_t unit = ReadLe16(bytes.data + position);
    if (unit == 0) break;
    node.key.push_back(static_cast<char16_t>(unit));
  }
  node.value = Aligned(position + 2);
  const size_t valueBytes = node.text ? node.valueLength * 2 : node.valueLength;
  node.children = std::min(Aligned(node.value + valueBytes), node.end);
  return node;
}

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf8(std::u16string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    AppendUtf8(c, out);
  }
  return out;
}

// A text value: UTF-16 units up to its NUL or the node's end.
std::u16string TextValue(brx::MemoryRange bytes, const Node& node) {
  std::u16string text;
  for (size_t at = node.value; at + 2 <= node.end && text.size() < node.valueLength; at += 2) {
    const uint16_t unit = ReadLe16(bytes.data + at);
    if (unit == 0) break;
    text.push_back(static_cast<char16_t>(unit));
  }
  return text;
}

// The children of `parent`, in order, until one is malformed.
template <typename Visit>
void EachChild(brx::MemoryRange bytes, const Node& parent, Visit visit) {
  for (size_t at = parent.children; Aligned(at) < parent.end;) {
    const std::optional<Node> child = ReadNode(bytes, Aligned(at), parent.end);
    if (!child || child->end <= Aligned(at)) return;
    if (!visit(*child)) return;
    at = child->end;
  }
}

}  // namespace

std::map<std::string, std::string> VersionTextsOf(brx::MemoryRange versionInfo) {
  std::map<std::string, std::string> texts;
  const std::optional<Node> root = ReadNode(versionInfo, 0, versionInfo.size);
  if (!root || root->key != u"VS_VERSION_INFO") return texts;
  EachChild(versionInfo, *root, [&](const Node& info) {
    if (info.key != u"StringFileInfo") return true;
    EachChild(versionInfo, info, [&](const Node& table) {
      EachChild(versionInfo, table, [&](const Node& text) {
        texts.emplace(Utf8(text.key), Utf8(TextValue(versionInfo, text)));
        return true;
      });
      return false;  // the first table only
    });
    return false;
  });
  return texts;
}

}  // namespace brxpack
