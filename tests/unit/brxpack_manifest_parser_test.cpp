#include <gtest/gtest.h>

#include <string>

#include "brxpack/authoring/manifest_parser.h"

namespace brxpack {
namespace {

constexpr char kTarget[] =
    "[target]\n"
    "registry_key = 'SOFTWARE\\Brindlex\\Viewer'\n"
    "patch_level = 3\n";

Result<Manifest> Parse(const std::string& text) {
  return ParseManifest(text, "/pub/update/brxpack.toml");
}

// Tests that every table a publisher writes lands in the manifest in the
// installer's terms: Windows-1251 texts, flag bits and registry codes.
TEST(ManifestParserTest, ReadsEveryTable) {
  const Result<Manifest> manifest =
      Parse(std::string(kTarget) +
            "folder_value = 'Folder'\n"
            "[package]\nlevel = 6\noutput = 'out/u.brx'\n"
            "[startup]\ncaption = 'Обновление'\nquestion = \"Да?\\r\\nOK\"\n"
            "[payload]\nfolder = 'files'\n"
            "[[file]]\nsource = 'x.bin'\ninstall = 'bin\\x.bin'\nstored = true\n"
            "[[file]]\nsource = 'y.bin'\nentry = 'y'\n"
            "[[rename]]\nentry = 'a.txt'\ninstall = 'b\\a.txt'\n"
            "[folders]\ncreate = ['data', 'data\\maps']\n"
            "[[command]]\nprogram = 'conv.exe'\n"
            "[[command]]\nprogram = 'C:\\t.exe'\narguments = '-q'\n"
            "wait = false\nrelative = false\n"
            "[remove]\npaths = ['old.dll']\n"
            "[[registry]]\nroot = 'HKCU'\nkey = 'Software\\B'\n"
            "name = 'N'\ntype = 'dword'\ndata = 4294967295\n"
            "[[registry]]\nroot = 'HKLM'\nkey = 'K'\ntype = 'string'\n"
            "data = 'текст'\noperation = 'skip'\n"
            "[[registry]]\nroot = 'HKLM'\nkey = 'K2'\ntype = 'key-only'\n"
            "[[section]]\nname = ':Extra'\nbytes = '01 02'\n");
  ASSERT_TRUE(manifest.ok()) << manifest.error();
  EXPECT_EQ(manifest->folder, "/pub/update");
  EXPECT_EQ(manifest->level, 6);
  EXPECT_EQ(manifest->output, "out/u.brx");
  const ScriptSections& script = manifest->script;
  ASSERT_TRUE(script.target);
  EXPECT_EQ(script.target->keyPath, "SOFTWARE\\Brindlex\\Viewer");
  EXPECT_EQ(script.target->folderValueName, "Folder");
  EXPECT_EQ(script.target->programValueName, "ProgramName");
  EXPECT_EQ(script.target->packageLevel, 3);
  ASSERT_TRUE(script.startup);
  EXPECT_EQ(script.startup->caption, "\xCE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xE5");
  EXPECT_EQ(script.startup->question, "\xC4\xE0?\r\nOK");
  EXPECT_EQ(manifest->payloadFolder, "files");
  ASSERT_EQ(manifest->files.size(), 2u);
  EXPECT_EQ(manifest->files[0].install, "bin\\x.bin");
  EXPECT_TRUE(manifest->files[0].stored);
  EXPECT_EQ(manifest->files[1].entry, "y");
  EXPECT_FALSE(manifest->files[1].install);
  ASSERT_EQ(script.renames.size(), 1u);
  EXPECT_EQ(script.renames[0].install, "b\\a.txt");
  EXPECT_EQ(script.folders, (std::vector<std::string>{"data", "data\\maps"}));
  ASSERT_EQ(script.commands->size(), 2u);
  EXPECT_EQ((*script.commands)[0].flags, 3);
  EXPECT_EQ((*script.commands)[0].arguments, "");
  EXPECT_EQ((*script.commands)[1].flags, 0);
  EXPECT_EQ(script.removals, (std::vector<std::string>{"old.dll"}));
  ASSERT_EQ(script.registry->size(), 3u);
  const brx::RegistryValueInput& dword = (*script.registry)[0];
  EXPECT_EQ(dword.root, 1u);
  EXPECT_EQ(dword.type, 1u);
  EXPECT_EQ(dword.data, "-1");
  EXPECT_EQ((*script.registry)[1].operation, 2u);
  EXPECT_EQ((*script.registry)[1].data, "\xF2\xE5\xEA\xF1\xF2");
  EXPECT_EQ((*script.registry)[2].type, 0u);
  EXPECT_EQ((*script.registry)[2].data, "");
  ASSERT_EQ(script.raw.size(), 1u);
  EXPECT_EQ(script.raw[0].bytes, (std::vector<uint8_t>{1, 2}));
}

// Tests that each mistake is reported with the file, the line, the column
// and the field, so a typo never passes silently.
TEST(ManifestParserTest, NamesFileLineAndField) {
  const std::string file = "/pub/update/brxpack.toml:";
  struct Case {
    std::string text;
    std::string message;
  };
  const Case cases[] = {
      {std::string(kTarget) + "[startup]\ncaption = 'a'\nquestoin = 'b'\n",
       file + "6:1: startup.questoin: unknown key\n" + file +
           "4:1: startup.question: is required but missing"},
      {std::string(kTarget) + "[payloads]\nfolder = 'x'\n", file + "4:2: payloads: unknown key"},
      {std::string(kTarget) + "[startup]\ncaption = 'Ωmega'\nquestion = ''\n",
       file + "5:11: startup.caption: the character 'Ω' (U+03A9) has no Windows-1251 form"},
      {"[target]\nregistry_key = 'K'\npatch_level = 'one'\n",
       file + "3:15: target.patch_level: must be a whole number"},
      {"[target]\nregistry_key = 'K'\npatch_level = 4294967296\n",
       file + "3:15: target.patch_level: must lie between -2147483648 and 2147483647, not "
              "4294967296"},
      {"[startup]\ncaption = 'a'\nquestion = 'b'\n",
       file + "1:1: target: is required: the [target] table names the program to update"},
      {std::string(kTarget) + "[package]\nlevel = 10\n",
       file + "5:9: package.level: must lie between 0 and 9, not 10"},
      {std::string(kTarget) + "[[file]]\nsource = 'a'\n",
       file + "4:1: file[1].install: is required (the installed path), unless entry is given"},
      {std::string(kTarget) +
           "[[file]]\nsource = 'a'\nentry = 'a-name-that-is-longer-than-31-bytes'\n",
       file + "6:9: file[1].entry: is 35 bytes long; entry names hold at most 31"},
      {std::string(kTarget) + "[[file]]\nsource = 'a'\nentry = ':Folders'\n",
       file + "6:9: file[1].entry: must not begin with ':', which marks a section"},
      {std::string(kTarget) + "[file]\nsource = 'a'\n",
       file + "4:1: file: must be written as [[file]] tables"},
      {std::string(kTarget) + "[folders]\ncreate = ['a', '', 'b']\n",
       file + "5:16: folders.create[2]: is empty, which would end the list early"},
      {std::string(kTarget) + "[[command]]\nprogram = 'a'\nwait = 'yes'\n",
       file + "6:8: command[1].wait: must be true or false"},
      {std::string(kTarget) +
           "[[registry]]\nroot = 'HKCR'\nkey = 'k'\ntype = 'string'\ndata = ''\n",
       file + "5:8: registry[1].root: must be \"HKCU\" or \"HKLM\", not \"HKCR\""},
      {std::string(kTarget) +
           "[[registry]]\nroot = 'HKCU'\nkey = 'k'\ntype = 'dword'\ndata = '12abc'\n",
       file +
           "8:8: registry[1].data: must be a whole number, or a text such as \"42\" or \"0x1F\""},
      {std::string(kTarget) +
           "[[registry]]\nroot = 'HKCU'\nkey = 'k'\ntype = 'key-only'\ndata = 'x'\n",
       file + "8:8: registry[1].data: is not used by a key-only value; remove it"},
      {std::string(kTarget) + "[[registry]]\nroot = 'HKCU'\nkey = 'k'\ntype = 'dword'\n",
       file + "4:1: registry[1].data: is required but missing"},
      {std::string(kTarget) + "[[section]]\nname = 'Extra'\nbytes = '0'\n",
       file + "5:8: section[1].name: must begin with ':'\n" + file +
           "6:9: section[1].bytes: must be pairs of hexadecimal digits"},
      {std::string(kTarget) + "[[rename]]\nentry = 'a'\ninstall = ''\n",
       file + "6:11: rename[1].install: is empty, which would end the name table early"},
      {"[target\n", file + "1:8: Error while parsing table header: expected ']', saw '\\n'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const Result<Manifest> manifest = Parse(c.text);
    ASSERT_FALSE(manifest.ok());
    EXPECT_EQ(manifest.error(), c.message);
  }
}

// Tests that a section carried byte for byte may stand in for [target], as
// the manifest command writes for a :RegistryKeys the tables cannot say.
TEST(ManifestParserTest, RawRegistryKeysStandInForTarget) {
  const Result<Manifest> manifest = Parse("[[section]]\nname = ':RegistryKeys'\nbytes = '00'\n");
  ASSERT_TRUE(manifest.ok()) << manifest.error();
  EXPECT_FALSE(manifest->script.target);
}

}  // namespace
}  // namespace brxpack
