#pragma once
// The backup name under which an installed file waits while its successor
// is written. The file phase makes it; discovery looks for a program left
// waiting there by an update that was killed.
#include "run/bounded_text.h"

namespace brx {

// The file's path with ".bak" appended. False, with *backup unusable, when
// that does not fit a path.
inline bool FormBackupPath(const PathText& path, PathText* backup) {
  return backup->Assign(path.c_str()) && backup->Append(".bak");
}

}  // namespace brx
