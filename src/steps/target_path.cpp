#include "steps/target_path.h"

namespace brx {

bool JoinTargetPath(const RunState& run, const char* name, PathText* path) {
  const FolderText& folder = run.target.targetFolder;
  path->Clear();
  if (!folder.empty() && path->Append(folder.c_str()) && path->Append(name)) return true;
  path->Clear();
  return false;
}

}  // namespace brx
