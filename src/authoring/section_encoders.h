#pragma once
// Encoders of every script section's payload. Texts are byte strings in the
// installer's ANSI code page (Windows-1251), already converted by the caller.
// Each payload ends with the one extra zero byte that packages carry.
// Callers check their input first: a text holding a zero byte, an empty list
// item or command program, or a record with operation 0 would end its list
// early in the encoded payload.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "package/section_readers.h"

namespace brx {

struct RegistryKeysInput {
  std::string keyPath;
  std::string folderValueName = "ProgramPath";
  std::string programValueName = "ProgramName";
  std::string levelValueName = "PatchLevel";
  int32_t packageLevel = 1;
};
std::vector<uint8_t> EncodeRegistryKeys(const RegistryKeysInput& keys);

std::vector<uint8_t> EncodeStartupMessage(const std::string& caption, const std::string& question);

std::vector<uint8_t> EncodeNameTable(const std::vector<std::pair<std::string, std::string>>& pairs);

// :Folders and :FilesToRemove.
std::vector<uint8_t> EncodeTextList(const std::vector<std::string>& items);

struct CommandInput {
  uint8_t flags = 0;  // kCommandWait | kCommandRelative
  std::string program;
  std::string arguments;
};
std::vector<uint8_t> EncodeCommands(const std::vector<CommandInput>& commands);

struct RegistryValueInput {
  uint32_t operation = kRegistryOperationWrite;
  uint32_t root = kRegistryRootLocalMachine;
  std::string key;
  uint32_t type = kRegistryTypeText;
  std::string valueName;
  std::string data;
};
std::vector<uint8_t> EncodeRegistryTable(const std::vector<RegistryValueInput>& records);

}  // namespace brx
