#include "steps/target_path.h"

namespace brx {

bool JoinTargetPath(const RunState& run, const char* name, PathText* path) {
  path->Clear();
  if (!run.targetFolder.empty() && path->Append(run.targetFolder.c_str()) && path->Append(name)) {
    return true;
  }
  path->Clear();
  return false;
}

}  // namespace brx
