#pragma once
// Decoders of the script sections' payloads, shared by the installation
// steps and the authoring tool. Each reads through a PayloadCursor only; the
// texts they give point into the section block.
#include <cstdint>

#include "package/payload_cursor.h"

namespace brx {

// :RegistryKeys — four texts and the package's patch level. False when any of
// the five items is missing (the block ends first): such a section cannot
// name a target and counts as absent.
struct RegistryKeysItems {
  const char* keyPath;
  const char* folderValueName;
  const char* programValueName;
  const char* levelValueName;
  int32_t packageLevel;
};
bool ReadRegistryKeys(MemoryRange payload, RegistryKeysItems* items);

// :StartupMsg — caption and question; a missing text reads as empty.
struct StartupMessage {
  const char* caption;
  const char* question;
};
StartupMessage ReadStartupMessage(MemoryRange payload);

// :CommandsToExecute — one record per call. False at the list's end: a
// record with an empty program, or a record cut short by the block's end
// (which is not run).
inline constexpr uint8_t kCommandWait = 0x01;
inline constexpr uint8_t kCommandRelative = 0x02;
struct CommandRecord {
  uint8_t flags;
  const char* program;
  const char* arguments;
};
bool ReadCommandRecord(PayloadCursor& cursor, CommandRecord* record);

// :RegistryTable — one record per call. False at the table's end: operation
// 0, or a record cut short by the block's end (which is not applied).
inline constexpr uint32_t kRegistryOperationEnd = 0;
inline constexpr uint32_t kRegistryOperationWrite = 1;
inline constexpr uint32_t kRegistryRootCurrentUser = 1;
inline constexpr uint32_t kRegistryTypeKeyOnly = 0;
inline constexpr uint32_t kRegistryTypeNumber = 1;
inline constexpr uint32_t kRegistryTypeText = 2;
struct RegistryRecord {
  uint32_t operation;
  uint32_t root;
  const char* key;
  uint32_t type;
  const char* valueName;
  const char* data;
};
bool ReadRegistryRecord(PayloadCursor& cursor, RegistryRecord* record);

// :XlatNamesTable — one pair per call. False at the table's end: an empty
// text where a source name stands, or a pair the block's end cuts short
// (not used, as a cut record is not; *cut then tells what is left of it).
// An empty installed name gives the pair and ends the table.
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
bool ReadNamePair(PayloadCursor& cursor, NamePair* pair, CutNamePair* cut = nullptr);

// :Folders and :FilesToRemove are plain lists: PayloadCursor::ReadListItem.

}  // namespace brx
