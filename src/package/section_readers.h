#pragma once
// The script sections' layouts and their readers, shared by the installation
// steps and the authoring tool: the one place that walks a payload. Each
// reads through a PayloadCursor only; the texts they give point into the
// section block.
//
// A list reader gives one item per call and tells the list's end (its
// closing item) from a cut (the block ends before it). The installer stops
// at either; a cut item is never used. On a cut, the fields the record got
// before it are filled, the others are zero.
#include <cstdint>

#include "package/payload_cursor.h"

namespace brx {

enum class ReadStep : uint8_t { kItem, kEnd, kCut };

// :RegistryKeys — four texts and the package's patch level. False when the
// block ends before all five items are whole: such a section cannot name a
// target and counts as absent. The texts before the first missing one are
// filled, the others are nullptr.
struct RegistryKeysItems {
  const char* keyPath;
  const char* folderValueName;
  const char* programValueName;
  const char* levelValueName;
  int32_t packageLevel;
};
bool ReadRegistryKeys(MemoryRange payload, RegistryKeysItems* items);

// :StartupMsg — caption and question. A text the block's end cuts short
// reads up to that end, a missing one as empty; wholeTexts counts those that
// end inside the block (2: both).
struct StartupMessage {
  const char* caption;
  const char* question;
  uint32_t wholeTexts;
};
StartupMessage ReadStartupMessage(MemoryRange payload);

// :Folders and :FilesToRemove — texts, closed by an empty one.
ReadStep ReadListItem(PayloadCursor& cursor, const char** item);

// :CommandsToExecute — a flags byte, the program and its arguments; a
// record with an empty program closes the list, whatever its flags.
inline constexpr uint8_t kCommandWait = 0x01;
inline constexpr uint8_t kCommandRelative = 0x02;  // the program is below the target folder
inline constexpr uint8_t kCommandFlags = kCommandWait | kCommandRelative;
struct CommandRecord {
  uint8_t flags;
  const char* program;
  const char* arguments;
};
ReadStep ReadCommandRecord(PayloadCursor& cursor, CommandRecord* record);

// :RegistryTable — operation, root, key, type, value name and data;
// operation 0 closes the table. Only operation 1 writes; any other is
// stepped over, and writers use 2 for it. Root 1 is the current user, any
// other the local machine.
inline constexpr uint32_t kRegistryOperationEnd = 0;
inline constexpr uint32_t kRegistryOperationWrite = 1;
inline constexpr uint32_t kRegistryOperationSkip = 2;
inline constexpr uint32_t kRegistryRootCurrentUser = 1;
inline constexpr uint32_t kRegistryRootLocalMachine = 2;
inline constexpr uint32_t kRegistryTypeKeyOnly = 0;
inline constexpr uint32_t kRegistryTypeNumber = 1;  // data is a number's text, parsed at install
inline constexpr uint32_t kRegistryTypeText = 2;
struct RegistryRecord {
  uint32_t operation;  // on a cut, 0 when the operation itself is missing
  uint32_t root;
  const char* key;
  uint32_t type;
  const char* valueName;
  const char* data;
};
ReadStep ReadRegistryRecord(PayloadCursor& cursor, RegistryRecord* record);

// :XlatNamesTable — pairs of source and installed name; an empty source
// name closes the table. A pair whose installed name is empty still
// translates, to that empty text, and closes the table too.
struct NamePair {
  const char* source;
  const char* installed;
};
// The pair the block's end cut short: its source name, whole or as far as
// the block goes. Its installed name is lost, so a file that may be the one
// it names has no known installed name.
struct CutNamePair {
  const char* source = nullptr;  // nullptr: no pair was cut
  bool sourceWhole = false;      // false: the source name itself is cut
};
// On a cut, *cut (when given) tells what is left of the pair.
ReadStep ReadNamePair(PayloadCursor& cursor, NamePair* pair, CutNamePair* cut = nullptr);

}  // namespace brx
