#pragma once
// The facts of one run on the worker thread, from the package's opening to
// CloseInstallation.
#include <cstdint>

#include "package/entry_lookup.h"
#include "package/reader.h"
#include "run/bounded_text.h"

namespace brx {

// What target discovery learns of the program to be updated. The texts are
// heap copies owned by the run, released by CloseInstallation.
struct TargetInfo {
  char* keyPath = nullptr;
  char* targetFolder = nullptr;  // always ends in a backslash
  char* programFile = nullptr;
  char* levelValueName = nullptr;
  int32_t installedLevel = 0;
  int32_t packageLevel = 0;
};

struct RunState {
  bool waitForButton = true;
  uint32_t updateFailed = 0;  // bit 0 set by a failed file or command
  Package package;
  bool packageOpened = false;
  TargetInfo target;
  SectionBlock nameTable;  // :XlatNamesTable, or an empty table
  PathText targetFolder;   // the target folder for the steps, ends in a backslash
};

}  // namespace brx
