#include "package/section_readers.h"

#include <optional>

namespace brx {

namespace {
constexpr char kNoText[] = "";
}  // namespace

bool ReadRegistryKeys(MemoryRange payload, RegistryKeysItems* items) {
  PayloadCursor cursor(payload);
  *items = {};
  items->keyPath = cursor.ReadCompleteText();
  items->folderValueName = cursor.ReadCompleteText();
  items->programValueName = cursor.ReadCompleteText();
  items->levelValueName = cursor.ReadCompleteText();
  const std::optional<int32_t> level = cursor.ReadInt32();
  // A missing text leaves no byte for the level behind it.
  if (!level) return false;
  items->packageLevel = *level;
  return true;
}

StartupMessage ReadStartupMessage(MemoryRange payload) {
  PayloadCursor cursor(payload);
  StartupMessage message = {kNoText, kNoText, 0};
  for (const char** text : {&message.caption, &message.question}) {
    message.wholeTexts += cursor.TextIsComplete();
    if (const char* read = cursor.ReadText()) *text = read;
  }
  return message;
}

ReadStep ReadListItem(PayloadCursor& cursor, const char** item) {
  *item = cursor.ReadCompleteText();
  if (*item == nullptr) return ReadStep::kCut;
  return (*item)[0] == '\0' ? ReadStep::kEnd : ReadStep::kItem;
}

ReadStep ReadCommandRecord(PayloadCursor& cursor, CommandRecord* record) {
  *record = {};
  const std::optional<uint8_t> flags = cursor.ReadByte();
  if (!flags) return ReadStep::kCut;
  record->flags = *flags;
  const char* program = cursor.ReadCompleteText();
  if (program == nullptr) return ReadStep::kCut;
  if (program[0] == '\0') return ReadStep::kEnd;
  record->program = program;
  record->arguments = cursor.ReadCompleteText();
  return record->arguments != nullptr ? ReadStep::kItem : ReadStep::kCut;
}

ReadStep ReadRegistryRecord(PayloadCursor& cursor, RegistryRecord* record) {
  *record = {};
  const std::optional<uint32_t> operation = cursor.ReadUint32();
  if (!operation) return ReadStep::kCut;
  if (*operation == kRegistryOperationEnd) return ReadStep::kEnd;
  record->operation = *operation;
  record->root = cursor.ReadUint32().value_or(0);
  record->key = cursor.ReadCompleteText();
  record->type = cursor.ReadUint32().value_or(0);
  record->valueName = cursor.ReadCompleteText();
  record->data = cursor.ReadCompleteText();
  // Once one item is missing, every later one is too.
  return record->data != nullptr ? ReadStep::kItem : ReadStep::kCut;
}

ReadStep ReadNamePair(PayloadCursor& cursor, NamePair* pair, CutNamePair* cut) {
  if (cursor.closed()) return ReadStep::kEnd;
  const bool sourceWhole = cursor.TextIsComplete();
  const char* source = cursor.ReadText();
  if (source == nullptr) return ReadStep::kCut;
  if (source[0] == '\0') return ReadStep::kEnd;
  const char* installed = sourceWhole ? cursor.ReadCompleteText() : nullptr;
  if (installed == nullptr) {
    if (cut != nullptr) *cut = {source, sourceWhole};
    return ReadStep::kCut;
  }
  if (installed[0] == '\0') cursor.Close();  // nothing after it belongs to the table
  *pair = {source, installed};
  return ReadStep::kItem;
}

}  // namespace brx
