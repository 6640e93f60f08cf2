#pragma once
// The backup name under which an installed file waits while its successor
// is written. The file phase makes it; discovery looks for a program left
// waiting there by an update that was killed.
#include "run/bounded_text.h"
#include "system/system.h"

namespace brx {

// The file's path with ".bak" appended. False, with *backup unusable, when
// that does not fit a path.
inline bool FormBackupPath(const PathText& path, PathText* backup) {
  return backup->Assign(path.c_str()) && backup->Append(".bak");
}

// Numbered backup names tried after ".bak": ".bak.1" to ".bak.99".
inline constexpr unsigned kMaxBackupNumber = 99;

// A backup name for the file at `path` at which nothing stands: ".bak", or
// the first free ".bak.N" when the user keeps a file of that name or a
// killed run left one there. The move to it never replaces what stands
// there, so a name taken meanwhile fails the move, never the user's file.
// False when every name is taken or none fits a path.
bool ChooseBackupPath(System& system, const PathText& path, PathText* backup);

}  // namespace brx
