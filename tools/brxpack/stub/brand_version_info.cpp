#include "brxpack/stub/brand.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <utility>

#include "brxpack/contents/windows1251.h"
#include "brxpack/stub/pe_resources.h"
#include "package/format.h"

namespace brxpack {

namespace {

constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr uint32_t kFixedInfoSize = 52;
// The fixed part follows the 6-byte header and the key "VS_VERSION_INFO"
// with its zero, on a 4-byte boundary.
constexpr uint32_t kFixedInfoOffset = 40;
constexpr uint16_t kBinary = 0;
constexpr uint16_t kText = 1;

size_t Aligned(size_t offset) {
  return (offset + 3) / 4 * 4;
}

void PadTo4(std::vector<uint8_t>& bytes) {
  bytes.resize(Aligned(bytes.size()), 0);
}

// UTF-16 of a UTF-8 text; nothing for malformed UTF-8 or a NUL, which would
// end the text early for every reader.
std::optional<std::u16string> Utf16(std::string_view utf8) {
  std::u16string text;
  for (size_t i = 0; i < utf8.size();) {
    const std::optional<char32_t> character = NextUtf8Character(utf8, &i);
    if (!character || *character == 0) return std::nullopt;
    if (*character >= 0x10000) {
      const char32_t above = *character - 0x10000;
      text.push_back(static_cast<char16_t>(0xD800 + (above >> 10)));
      text.push_back(static_cast<char16_t>(0xDC00 + (above & 0x3FF)));
    } else {
      text.push_back(static_cast<char16_t>(*character));
    }
  }
  return text;
}

std::vector<uint8_t> Utf16Bytes(std::u16string_view text) {
  std::vector<uint8_t> bytes;
  for (const char16_t unit : text) AppendLe16(bytes, unit);
  AppendLe16(bytes, 0);
  return bytes;
}

// One node of the version information: length, value length, type, key,
// value, children, each part on a 4-byte boundary.
std::vector<uint8_t> VersionNode(std::u16string_view key, uint16_t type, uint16_t valueLength,
                                 const std::vector<uint8_t>& value,
                                 const std::vector<std::vector<uint8_t>>& children) {
  std::vector<uint8_t> node(6, 0);
  const std::vector<uint8_t> keyBytes = Utf16Bytes(key);
  node.insert(node.end(), keyBytes.begin(), keyBytes.end());
  PadTo4(node);
  node.insert(node.end(), value.begin(), value.end());
  for (const std::vector<uint8_t>& child : children) {
    PadTo4(node);
    node.insert(node.end(), child.begin(), child.end());
  }
  brx::WriteLe32(node.data(), static_cast<uint32_t>(node.size() | uint32_t{valueLength} << 16));
  node[4] = static_cast<uint8_t>(type);
  return node;
}

std::vector<uint8_t> FixedInfo(const std::array<uint16_t, 4>& numbers) {
  const uint32_t high = uint32_t{numbers[0]} << 16 | numbers[1];
  const uint32_t low = uint32_t{numbers[2]} << 16 | numbers[3];
  std::vector<uint8_t> info;
  for (const uint32_t field : {kFixedInfoSignature, 0x00010000u, high, low, high, low,
                               0x3Fu,          // file flags mask
                               0u,             // file flags
                               0x00040004u,    // Windows NT, 32-bit
                               1u,             // an application
                               0u, 0u, 0u}) {  // subtype, date
    AppendLe32(info, field);
  }
  return info;
}

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

// UTF-16 units from `at` up to a NUL, at most `most` of them, none past `end`.
std::u16string Units(brx::MemoryRange bytes, size_t at, size_t end, size_t most) {
  std::u16string text;
  for (; at + 2 <= end && text.size() < most; at += 2) {
    const uint16_t unit = ReadLe16(bytes.data + at);
    if (unit == 0) break;
    text.push_back(static_cast<char16_t>(unit));
  }
  return text;
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
  node.key = Units(bytes, at + 6, node.end, SIZE_MAX);
  const size_t nul = at + 6 + 2 * node.key.size();
  if (nul + 2 > node.end) return std::nullopt;  // no NUL ends the key
  node.value = Aligned(nul + 2);
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

std::optional<std::array<uint16_t, 4>> ParseVersionNumbers(std::string_view text) {
  std::array<uint16_t, 4> numbers{};
  size_t count = 0;
  const char* at = text.data();
  const char* end = text.data() + text.size();
  while (count < numbers.size()) {
    const auto [next, error] = std::from_chars(at, end, numbers[count]);
    if (error != std::errc() || next == at) return std::nullopt;
    ++count;
    at = next;
    if (at == end) return numbers;
    if (*at != '.') return std::nullopt;
    ++at;
  }
  return std::nullopt;
}

Result<std::vector<uint8_t>> VersionInfoOf(const Brand& brand) {
  const std::optional<std::array<uint16_t, 4>> numbers = ParseVersionNumbers(brand.version);
  if (!numbers) {
    return Error{brand.where + ".version: \"" + brand.version +
                 "\" is not one to four numbers 0-65535 joined by dots, such as \"2.0\""};
  }
  const std::pair<std::u16string_view, const std::string*> fields[] = {
      {u"CompanyName", &brand.company}, {u"FileDescription", &brand.description},
      {u"FileVersion", &brand.version}, {u"LegalCopyright", &brand.copyright},
      {u"ProductName", &brand.product}, {u"ProductVersion", &brand.version}};
  std::vector<std::vector<uint8_t>> strings;
  for (const auto& [key, value] : fields) {
    if (value->empty()) continue;
    const std::optional<std::u16string> text = Utf16(*value);
    if (!text) return Error{brand.where + ": a text holds a NUL or is not UTF-8"};
    strings.push_back(
        VersionNode(key, kText, static_cast<uint16_t>(text->size() + 1), Utf16Bytes(*text), {}));
  }
  // Russian, Unicode: the string table's key and the translation that names it.
  const std::vector<uint8_t> table = VersionNode(u"041904B0", kText, 0, {}, strings);
  const std::vector<uint8_t> translation = {0x19, 0x04, 0xB0, 0x04};
  std::vector<uint8_t> info =
      VersionNode(u"VS_VERSION_INFO", kBinary, kFixedInfoSize, FixedInfo(*numbers),
                  {VersionNode(u"StringFileInfo", kText, 0, {}, {table}),
                   VersionNode(u"VarFileInfo", kText, 0, {},
                               {VersionNode(u"Translation", kBinary, 4, translation, {})})});
  // Every node's length is a 16-bit field; the whole is the longest node.
  if (info.size() > UINT16_MAX) return Error{brand.where + ": its texts are too long together"};
  return info;
}

std::optional<std::string> FileVersionOf(brx::MemoryRange versionInfo) {
  if (versionInfo.size < kFixedInfoOffset + kFixedInfoSize ||
      brx::ReadLe32(versionInfo.data + kFixedInfoOffset) != kFixedInfoSignature) {
    return std::nullopt;
  }
  const uint32_t high = brx::ReadLe32(versionInfo.data + kFixedInfoOffset + 8);
  const uint32_t low = brx::ReadLe32(versionInfo.data + kFixedInfoOffset + 12);
  return std::to_string(high >> 16) + "." + std::to_string(high & 0xFFFF) + "." +
         std::to_string(low >> 16) + "." + std::to_string(low & 0xFFFF);
}

std::map<std::string, std::string> VersionTextsOf(brx::MemoryRange versionInfo) {
  std::map<std::string, std::string> texts;
  const std::optional<Node> root = ReadNode(versionInfo, 0, versionInfo.size);
  if (!root || root->key != u"VS_VERSION_INFO") return texts;
  EachChild(versionInfo, *root, [&](const Node& info) {
    if (info.key != u"StringFileInfo") return true;
    EachChild(versionInfo, info, [&](const Node& table) {
      EachChild(versionInfo, table, [&](const Node& text) {
        texts.emplace(Utf8(text.key),
                      Utf8(Units(versionInfo, text.value, text.end, text.valueLength)));
        return true;
      });
      return false;  // the first table only
    });
    return false;
  });
  return texts;
}

}  // namespace brxpack
