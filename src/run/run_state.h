#pragma once
// The facts of one run on the worker thread, from the package's opening to
// CloseInstallation.
#include <cstdint>

#include "package/entry_lookup.h"
#include "package/name_translation.h"
#include "package/reader.h"
#include "run/bounded_text.h"

namespace brx {

// The length offered to the registry for one value: a longer value cannot be
// read. A value stored without its terminator can give 512 characters.
inline constexpr uint32_t kRegistryValueCapacity = 512;

// A registry value's text, or a :RegistryKeys text used beside such values.
using RegistryText = BoundedText<kRegistryValueCapacity + 1>;
// The target folder: a registry value and the backslash appended to it.
using FolderText = BoundedText<kRegistryValueCapacity + 2>;

// What target discovery learns of the program to be updated.
struct TargetInfo {
  RegistryText keyPath;         // from :RegistryKeys
  FolderText targetFolder;      // from the registry; ends in a backslash once discovered
  RegistryText programFile;     // from the registry
  RegistryText levelValueName;  // from :RegistryKeys
  int32_t installedLevel = 0;
  int32_t packageLevel = 0;
};

struct RunState {
  bool waitForButton = true;
  uint32_t updateFailed = 0;  // bit 0 set by MarkUpdateFailed
  Package package;
  bool packageOpened = false;
  TargetInfo target;
  SectionBlock nameTable;  // :XlatNamesTable, when the package has one
  NameTable nameIndex;     // its pairs, indexed once; refers into nameTable

  // A file or a command failed: completion then neither reports success nor
  // records the package's level.
  void MarkUpdateFailed() { updateFailed |= 1; }
};

}  // namespace brx
