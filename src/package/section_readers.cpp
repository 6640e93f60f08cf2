#include "package/section_readers.h"

#include <optional>

namespace brx {

namespace {
constexpr char kNoText[] = "";
}  // namespace

bool ReadRegistryKeys(MemoryRange payload, RegistryKeysItems* items) {
  PayloadCursor cursor(payload);
  *items = {};
  items->keyPath = cursor.ReadText();
  items->folderValueName = cursor.ReadText();
  items->programValueName = cursor.ReadText();
  items->levelValueName = cursor.ReadText();
  const std::optional<int32_t> level = cursor.ReadInt32();
  if (!items->keyPath || !items->folderValueName || !items->programValueName ||
      !items->levelValueName || !level) {
    return false;
  }
  items->packageLevel = *level;
  return true;
}

StartupMessage ReadStartupMessage(MemoryRange payload) {
  PayloadCursor cursor(payload);
  StartupMessage message;
  message.caption = cursor.ReadText();
  message.question = cursor.ReadText();
  if (message.caption == nullptr) message.caption = kNoText;
  if (message.question == nullptr) message.question = kNoText;
  return message;
}

bool ReadCommandRecord(PayloadCursor& cursor, CommandRecord* record) {
  const std::optional<uint8_t> flags = cursor.ReadByte();
  if (!flags) return false;
  // The closing record's flags byte is not looked at: an empty program ends
  // the list whatever stands before it.
  const char* program = cursor.ReadCompleteText();
  if (program == nullptr || program[0] == '\0') return false;
  const char* arguments = cursor.ReadCompleteText();
  if (arguments == nullptr) return false;
  *record = {*flags, program, arguments};
  return true;
}

bool ReadRegistryRecord(PayloadCursor& cursor, RegistryRecord* record) {
  const std::optional<uint32_t> operation = cursor.ReadUint32();
  if (!operation || *operation == kRegistryOperationEnd) return false;
  const std::optional<uint32_t> root = cursor.ReadUint32();
  const char* key = cursor.ReadCompleteText();
  const std::optional<uint32_t> type = cursor.ReadUint32();
  const char* valueName = cursor.ReadCompleteText();
  const char* data = cursor.ReadCompleteText();
  if (!root || key == nullptr || !type || valueName == nullptr || data == nullptr) return false;
  *record = {*operation, *root, key, *type, valueName, data};
  return true;
}

bool ReadNamePair(PayloadCursor& cursor, NamePair* pair, CutNamePair* cut) {
  const bool sourceWhole = cursor.TextIsComplete();
  const char* source = cursor.ReadText();
  if (source == nullptr || source[0] == '\0') return false;
  const char* installed = sourceWhole ? cursor.ReadCompleteText() : nullptr;
  if (installed == nullptr) {
    if (cut != nullptr) *cut = {source, sourceWhole};
    return false;
  }
  // A source name followed by the empty text still translates, to that
  // empty text; nothing after it belongs to the table.
  if (installed[0] == '\0') cursor.SkipToEnd();
  *pair = {source, installed};
  return true;
}

}  // namespace brx
