#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "brxpack/manifest/manifest_parser.h"
#include "brxpack/reading/manifest_export.h"
#include "brxpack/stub/authenticode.h"
#include "brxpack/stub/brand.h"
#include "brxpack/stub/pe_resources.h"
#include "package/format.h"
#include "support/brxpack_workspace.h"
#include "support/pe_samples.h"

namespace brxpack {
namespace {

using brx::test::Range;
using test::Workspace;

constexpr uint32_t kCoffHeader = brx::test::kSamplePeOffset + 4;
constexpr uint32_t kOptional = brx::test::kSampleOptionalHeader;
constexpr uint32_t kResourcesAt = 0x2000;  // address
constexpr uint32_t kResourcesRaw = 0x600;  // file offset
constexpr uint32_t kLanguage = 1049;

uint32_t Field(const std::vector<uint8_t>& image, uint32_t offset) {
  return brx::ReadLe32(image.data() + offset);
}

// Where the sample's data directories and section table lie: PE32+ (the
// x64 stub) has 16 bytes more optional header in front of its directories.
struct Layout {
  bool plus;
  uint32_t directories;
  uint32_t sectionTable;
};
constexpr Layout kLayouts[] = {{false, kOptional + 96, kOptional + 224},
                               {true, kOptional + 112, kOptional + 240}};

uint32_t Directory(const Layout& layout, uint32_t index) {
  return layout.directories + 8 * index;
}

uint32_t Section(const Layout& layout, int section, uint32_t field) {
  return layout.sectionTable + 40 * section + field;
}

uint32_t SectionField(const std::vector<uint8_t>& image, const Layout& layout, int section,
                      uint32_t field) {
  return Field(image, Section(layout, section, field));
}

void SetSection(std::vector<uint8_t>& image, const Layout& layout, int section, const char* name,
                std::vector<uint32_t> fields) {
  std::copy(name, name + strlen(name), image.begin() + Section(layout, section, 0));
  for (size_t i = 0; i < fields.size(); ++i) {
    brx::WriteLe32(&image[Section(layout, section, 8 + 4 * i)], fields[i]);
  }
}

Brand BrandOf(const std::string& version, const std::string& icon) {
  Brand brand;
  brand.product = "P";
  brand.version = version;
  brand.icon = icon;
  return brand;
}

Resource Numbered(uint16_t type, uint16_t name, uint16_t language, std::vector<uint8_t> bytes) {
  Resource resource;
  resource.type.id = type;
  resource.name.id = name;
  resource.language = language;
  resource.bytes = std::move(bytes);
  return resource;
}

// What a linked installer holds: a dialog, a resource named by texts, the
// program's icon group with its one image, and version information.
std::vector<Resource> SampleResources() {
  Resource named;
  named.type.text = u"BRX";
  named.name.text = u"NOTE";
  named.bytes = {'n', 'o', 't', 'e'};
  const std::vector<IconImage> oldIcon = {{48, 48, 0, 1, 24, std::vector<uint8_t>(100, 0x11)}};
  return {Numbered(kResourceDialog, 101, 0, {'d', 'i', 'a', 'l', 'o', 'g'}), named,
          Numbered(kResourceIcon, 1, kLanguage, oldIcon[0].bytes),
          Numbered(kResourceIconGroup, 102, kLanguage, IconGroupOf(oldIcon, {1})),
          Numbered(kResourceVersion, 1, 0, *VersionInfoOf(BrandOf("1.1", "")))};
}

// A PE32 or PE32+ image as the linker lays out the installer: headers,
// .text, the resources, and the base relocations behind them.
std::vector<uint8_t> SampleImage(const Layout& layout) {
  const std::vector<uint8_t> tree = WriteResourceTree(SampleResources(), kResourcesAt);
  const uint32_t treeRaw = static_cast<uint32_t>(AlignUp(tree.size(), 0x200));
  const uint32_t relocAt = kResourcesAt + static_cast<uint32_t>(AlignUp(tree.size(), 0x1000));
  std::vector<uint8_t> image = brx::test::SamplePe(0x400, layout.plus);
  std::fill(image.begin() + layout.sectionTable, image.end(), 0);
  image[kCoffHeader + 2] = 3;
  brx::WriteLe32(&image[kOptional + 32], 0x1000);
  brx::WriteLe32(&image[kOptional + 36], 0x200);
  brx::WriteLe32(&image[kOptional + 56], relocAt + 0x1000);
  brx::WriteLe32(&image[Directory(layout, 2)], kResourcesAt);
  brx::WriteLe32(&image[Directory(layout, 2) + 4], static_cast<uint32_t>(tree.size()));
  brx::WriteLe32(&image[Directory(layout, 5)], relocAt);
  brx::WriteLe32(&image[Directory(layout, 5) + 4], 0x80);
  SetSection(image, layout, 0, ".text", {0x100, 0x1000, 0x200, 0x400, 0, 0, 0, 0x60000020});
  SetSection(image, layout, 1, ".rsrc",
             {static_cast<uint32_t>(tree.size()), kResourcesAt, treeRaw, kResourcesRaw, 0, 0, 0,
              0x40000040});
  SetSection(image, layout, 2, ".reloc",
             {0x80, relocAt, 0x200, kResourcesRaw + treeRaw, 0, 0, 0, 0x42000040});
  image.resize(kResourcesRaw, 0xCC);
  image.insert(image.end(), tree.begin(), tree.end());
  image.resize(kResourcesRaw + treeRaw, 0);
  for (int i = 0; i < 0x200; ++i) image.push_back(static_cast<uint8_t>(0x5A + i));
  return image;
}

// Offset of a data record in the sample's tree: the one that points at `bytes`.
uint32_t DataRecordOf(const std::vector<uint8_t>& image, const std::vector<uint8_t>& bytes) {
  const auto data =
      std::search(image.begin() + kResourcesRaw, image.end(), bytes.begin(), bytes.end());
  const uint32_t rva = kResourcesAt + static_cast<uint32_t>(data - image.begin() - kResourcesRaw);
  for (uint32_t at = kResourcesRaw; at + 4 <= image.size(); at += 4) {
    if (Field(image, at) == rva) return at;
  }
  return 0;
}

// Tests that PE32 and PE32+ images the writer cannot rewrite safely, and
// resource trees it cannot read, are refused with the reason, while the
// samples pass.
TEST(PeResourcesTest, RefusesWhatItCannotRewrite) {
  for (const Layout& layout : kLayouts) {
    SCOPED_TRACE(layout.plus ? "PE32+" : "PE32");
    const uint32_t relocAt = SectionField(SampleImage(layout), layout, 2, 12);
    const auto at = [&](int section, uint32_t field) { return Section(layout, section, field); };
    const uint32_t resources = Directory(layout, 2);
    struct Case {
      std::function<void(std::vector<uint8_t>&)> damage;
      std::string message;
    };
    const Case cases[] = {
        {[](auto&) {}, ""},
        {[](auto& i) { i[0] = 'X'; }, "not a Windows program (no MZ header)"},
        {[](auto& i) { i[kOptional + 1] = 0x03; },
         "not a Windows program (no PE32 or PE32+ optional header)"},
        {[&](auto& i) {
           i[kCoffHeader + 16] = static_cast<uint8_t>(Directory(layout, 0) - kOptional - 1);
         },
         "not a Windows program (no PE32 or PE32+ optional header)"},
        {[](auto& i) { i[kOptional + (i[kOptional + 1] == 2 ? 108 : 92)] = 17; },
         ""},  // more than 16 directories: the 16 that exist are read
        {[&](auto& i) {
           i[kCoffHeader + 16] = static_cast<uint8_t>(Directory(layout, 15) - kOptional);
         },
         "its optional header is too short for its data directories"},
        {[](auto& i) { i[kCoffHeader + 3] = 0xFF; },
         "its section table passes the end of the file"},
        {[&](auto& i) { brx::WriteLe32(&i[at(2, 12)], 0x1000); },
         "its sections are not in address order"},
        {[&](auto& i) { brx::WriteLe32(&i[at(2, 16)], 0x10000); },
         "section .reloc passes the end of the file"},
        {[&](auto& i) { brx::WriteLe32(&i[at(0, 20)], 0x100); },
         "section .text overlaps the headers"},
        {[&](auto& i) { brx::WriteLe32(&i[resources], 0); }, "it carries no resources"},
        {[&](auto& i) { brx::WriteLe32(&i[resources], kResourcesAt + 16); },
         "its resources do not begin a section of their own"},
        {[](auto& i) { i.resize(i.size() + 8); },
         "8 bytes follow its last section (a signature or a package?)"},
        {[&](auto& i) { brx::WriteLe32(&i[at(2, 36)], 0x40000040); },
         "section .reloc follows the resources and cannot be moved"},
        {[&](auto& i) { brx::WriteLe32(&i[Directory(layout, 1)], relocAt); },
         "data directory 1 lies in section .reloc, which would move"},
        {[&](auto& i) {  // starts inside the resources' bytes, ends where it did
           brx::WriteLe32(&i[at(2, 16)], SectionField(i, layout, 2, 16) + 0x10);
           brx::WriteLe32(&i[at(2, 20)], SectionField(i, layout, 2, 20) - 0x10);
         },
         "section .reloc overlaps the resources"},
        {[&](auto& i) { brx::WriteLe32(&i[at(2, 12)], kResourcesAt + 0x10); },
         "section .reloc overlaps the resources"},
        {[&](auto& i) { brx::WriteLe32(&i[Directory(layout, 5)], kResourcesAt + 8); },
         "data directory 5 lies in section .rsrc, which would move"},
        {[](auto& i) { i[kResourcesRaw + 14] = 0xFF, i[kResourcesRaw + 15] = 0x7F; },
         "its resources: its tree is larger than its bytes can hold"},
        {[](auto& i) { i[kResourcesRaw + 16 + 7] &= 0x7F; },
         "its resources: its tree is not three levels deep (type, name, language)"},
        {[](auto& i) {
           brx::WriteLe32(&i[DataRecordOf(i, {'d', 'i', 'a', 'l', 'o', 'g'})], 0x10);
         },
         "its resources: a resource's bytes lie outside the resource section"},
    };
    for (const Case& c : cases) {
      std::vector<uint8_t> image = SampleImage(layout);
      c.damage(image);
      Result<std::vector<Resource>> read = ReadResources(Range(image));
      Result<std::vector<uint8_t>> written = ReplaceResources(Range(image), SampleResources());
      const std::string message = !read.ok() ? read.error() : !written.ok() ? written.error() : "";
      EXPECT_EQ(message.substr(0, c.message.size()), c.message) << message;
      EXPECT_EQ(message.empty(), c.message.empty()) << c.message;
    }
  }
}

const std::vector<IconImage> kIcon = {{32, 32, 0, 1, 32, std::vector<uint8_t>(0x1100, 0x77)},
                                      {16, 16, 0, 1, 32, std::vector<uint8_t>(0x300, 0x66)}};

// Tests that a [brand] table and its icon file are refused, with the field
// and the reason, unless they make a brand; the icon's path may use "\" on
// every system, as the manifest's other host paths.
TEST(BrandTest, RefusesWhatIsNoBrand) {
  const std::string good = "[brand]\nproduct = 'P'\nversion = '2.0.1.17'\n";
  const std::vector<uint8_t> icon = IconFileOf(kIcon);
  std::vector<uint8_t> cut = icon;
  cut.resize(0x1000);
  struct Case {
    std::string table;
    std::vector<uint8_t> icon;
    std::string message;
  };
  const Case cases[] = {
      {good + "icon = '.\\i.ico'\n", icon, ""},
      {"[brand]\nversion = '2'\ncolour = 'red'\n",
       {},
       "m.toml:4:1: brand.product: is required but missing\nm.toml:6:1: brand.colour: unknown key"},
      {"[brand]\nproduct = 'P'\nversion = '2.x'\n", {}, "m.toml:6:11: brand.version: must be one"},
      {"[brand]\nproduct = 'P'\nversion = '1.2.3.4.5'\n", {}, "m.toml:6:11: brand.version"},
      {"[brand]\nproduct = 'P'\nversion = '65536'\n", {}, "m.toml:6:11: brand.version"},
      {good + "icon = 'i.ico'\n", {0, 0, 2, 0, 1, 0}, "m.toml:4:1: brand.icon: "},
      {good + "icon = 'i.ico'\n", {icon.begin(), icon.begin() + 20}, "directory passes the end"},
      {good + "icon = 'i.ico'\n", cut, "image 1 of the icon passes the end of the file"},
  };
  for (const Case& c : cases) {
    Workspace workspace;
    workspace.Write("m.toml", "[target]\nregistry_key = 'K'\npatch_level = 3\n" + c.table);
    workspace.Write("i.ico", c.icon);
    Result<Manifest> manifest = ReadManifestFile(workspace.Path("m.toml"));
    std::string message = manifest.ok() ? "" : manifest.error();
    if (manifest.ok()) {
      const std::vector<uint8_t> image = SampleImage(kLayouts[0]);
      Result<std::vector<uint8_t>> branded =
          ApplyBrand(Range(image), *manifest->brand, workspace.Path(""));
      message = branded.ok() ? "" : branded.error();
    }
    const std::string placed = workspace.Text("");
    for (size_t at; (at = message.find(placed)) != std::string::npos;)
      message.erase(at, placed.size());
    EXPECT_NE(message.find(c.message), std::string::npos) << c.message << "\n" << message;
    EXPECT_EQ(message.empty(), c.message.empty()) << message;
  }
}

void ExpectBranded(const Layout& layout) {
  Workspace workspace;
  workspace.Write("i.ico", IconFileOf(kIcon));
  const std::vector<uint8_t> image = SampleImage(layout);
  Brand brand = BrandOf("2.0.1.17", "i.ico");
  brand.company = "Пример";
  Result<std::vector<uint8_t>> branded = ApplyBrand(Range(image), brand, workspace.Path(""));
  ASSERT_TRUE(branded.ok()) << branded.error();
  const std::vector<uint8_t>& out = *branded;
  Result<std::vector<Resource>> read = ReadResources(Range(out));
  ASSERT_TRUE(read.ok()) << read.error();

  const std::vector<Resource> sample = SampleResources();
  std::vector<uint16_t> groupIds;
  std::vector<std::vector<uint8_t>> images;
  for (const Resource& r : *read) {
    if (r.type.id == kResourceVersion) {
      EXPECT_EQ(FileVersionOf(Range(r.bytes)), "2.0.1.17");
      // Read back as written, and never past the bytes however they are cut.
      const std::map<std::string, std::string> texts = VersionTextsOf(Range(r.bytes));
      EXPECT_EQ(texts, (std::map<std::string, std::string>{{"CompanyName", "Пример"},
                                                           {"FileVersion", "2.0.1.17"},
                                                           {"ProductName", "P"},
                                                           {"ProductVersion", "2.0.1.17"}}));
      for (size_t cut = 0; cut < r.bytes.size(); ++cut)
        VersionTextsOf({r.bytes.data(), static_cast<uint32_t>(cut)});
    } else if (r.type.id == kResourceIconGroup) {
      EXPECT_EQ(r.name.id, 102);
      EXPECT_EQ(r.language, kLanguage);
      groupIds = IconGroupIds(Range(r.bytes));
    } else if (r.type.id == kResourceIcon) {
      EXPECT_EQ(r.language, kLanguage);
      images.push_back(r.bytes);
    } else {
      EXPECT_TRUE(std::any_of(sample.begin(), sample.end(), [&](const Resource& s) {
        return s.type == r.type && s.name == r.name && s.bytes == r.bytes;
      })) << r.type.id;
    }
  }
  EXPECT_EQ(read->front().type.text, u"BRX");  // named types come first
  // manifest FILE.exe reads the brand back, its icon as the file it came from.
  const RecoveredBrand recovered = RecoverBrand(Range(out), "u.ico");
  EXPECT_NE(recovered.table.find("[brand]\ncompany = 'Пример'\nproduct = 'P'\nversion = "
                                 "'2.0.1.17'\nicon = 'u.ico'\n"),
            std::string::npos)
      << recovered.table;
  EXPECT_EQ(recovered.icon, IconFileOf(kIcon));
  EXPECT_TRUE(RecoverBrand(Range(out), "").icon.empty());
  const std::vector<uint8_t> bare = brx::test::SamplePe(0x400, layout.plus);
  EXPECT_EQ(RecoverBrand(Range(bare), "u.ico").table, "");  // no resources: nothing to recover
  EXPECT_EQ(groupIds, (std::vector<uint16_t>{1, 2}));
  EXPECT_EQ(images, (std::vector<std::vector<uint8_t>>{kIcon[0].bytes, kIcon[1].bytes}));

  const uint32_t treeSize = Field(out, Directory(layout, 2) + 4);
  const uint64_t relocAt = kResourcesAt + AlignUp(treeSize, 0x1000);
  const uint64_t relocRaw = kResourcesRaw + AlignUp(treeSize, 0x200);
  EXPECT_GT(relocAt, SectionField(image, layout, 2, 12));
  EXPECT_EQ(SectionField(out, layout, 1, 8), treeSize);
  EXPECT_EQ(SectionField(out, layout, 2, 12), relocAt);
  EXPECT_EQ(SectionField(out, layout, 2, 20), relocRaw);
  EXPECT_EQ(Field(out, Directory(layout, 5)), relocAt);
  EXPECT_EQ(Field(out, kOptional + 56), relocAt + 0x1000);
  ASSERT_EQ(out.size(), relocRaw + 0x200);
  EXPECT_TRUE(std::equal(out.begin() + relocRaw, out.end(), image.end() - 0x200));
  EXPECT_EQ(Field(out, kOptional + 64), PeChecksum(out.data(), out.size(), kOptional + 64));
}

// Tests that branding a PE32 or PE32+ image replaces the version
// information and the program's icon images, keeps every other resource and
// the icon group's id and language, and that the grown resources push the
// relocations behind them along with every header that describes the
// layout.
TEST(BrandTest, ReplacesVersionAndIconAndMovesWhatFollows) {
  for (const Layout& layout : kLayouts) {
    SCOPED_TRACE(layout.plus ? "PE32+" : "PE32");
    ExpectBranded(layout);
  }
}

// A version-information node: its key, then `body` (value and children)
// from the next 4-byte boundary.
std::vector<uint8_t> VersionNode(const std::u16string& key, const std::vector<uint8_t>& body,
                                 uint16_t valueLength = 0) {
  std::vector<uint8_t> node(6);
  for (const char16_t c : key + u'\0') node.insert(node.end(), {uint8_t(c), uint8_t(c >> 8)});
  if (!body.empty()) node.resize((node.size() + 3) / 4 * 4);
  node.insert(node.end(), body.begin(), body.end());
  WriteLe16(&node[0], static_cast<uint16_t>(node.size()));
  WriteLe16(&node[2], valueLength);
  WriteLe16(&node[4], 1);
  return node;
}

// Tests that a text without a value may end right after its key, as it is
// laid out unpadded, and that the texts after it still read; a key its node
// ends before its NUL is refused, the texts after it with it, without a read
// past the bytes.
TEST(BrandTest, ReadsAValuelessTextEndingAtItsKey) {
  EXPECT_TRUE(
      VersionTextsOf(Range(std::vector<uint8_t>{10, 0, 0, 0, 1, 0, 'A', 0, 'B', 0})).empty());
  std::vector<uint8_t> texts = VersionNode(u"Comments", {});
  const std::vector<uint8_t> product = VersionNode(u"ProductName", {'P', 0, 0, 0}, 2);
  texts.insert(texts.end(), product.begin(), product.end());
  const std::vector<uint8_t> info = VersionNode(
      u"VS_VERSION_INFO", VersionNode(u"StringFileInfo", VersionNode(u"040904B0", texts)));
  EXPECT_EQ(VersionTextsOf(Range(info)),
            (std::map<std::string, std::string>{{"Comments", ""}, {"ProductName", "P"}}));
  std::vector<uint8_t> cut = VersionNode(u"Comments", {});
  cut.resize(cut.size() - 2);  // its key's NUL
  WriteLe16(&cut[0], static_cast<uint16_t>(cut.size()));
  cut.insert(cut.end(), product.begin(), product.end());
  EXPECT_TRUE(VersionTextsOf(
                  Range(VersionNode(u"VS_VERSION_INFO",
                                    VersionNode(u"StringFileInfo", VersionNode(u"040904B0", cut)))))
                  .empty());
}

}  // namespace
}  // namespace brxpack
