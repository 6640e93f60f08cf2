#include "steps/backup_path.h"

namespace brx {

bool ChooseBackupPath(System& system, const PathText& path, PathText* backup) {
  if (!FormBackupPath(path, backup)) return false;
  if (!system.PathExists(backup->c_str())) return true;
  PathText numbered;
  for (unsigned number = 1; number <= kMaxBackupNumber; ++number) {
    const char tens = static_cast<char>('0' + number / 10);
    const char units = static_cast<char>('0' + number % 10);
    if (!numbered.Assign(backup->c_str()) || !numbered.AppendChar('.') ||
        (number >= 10 && !numbered.AppendChar(tens)) || !numbered.AppendChar(units)) {
      return false;
    }
    if (!system.PathExists(numbered.c_str())) return backup->Assign(numbered.c_str());
  }
  return false;
}

}  // namespace brx
