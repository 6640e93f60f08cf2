#include "steps/target_path.h"

namespace brx {

bool JoinTargetPath(const RunState& run, const char* name, PathText* path) {
  path->Clear();
  if (run.targetFolder.empty()) return false;
  return path->Append(run.targetFolder.c_str()) && path->Append(name);
}

}  // namespace brx
