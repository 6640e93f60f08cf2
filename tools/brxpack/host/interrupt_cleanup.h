#pragma once
// Temporary output files and scratch folders removed when the process is
// interrupted (Ctrl-C, or a termination request), so that no half-written
// file is left beside its final name and no scratch copy stays behind.
// Each registers itself while it exists.
#include <filesystem>

namespace brxpack {

// Installs the handlers; once, at start-up. They remove every registered
// file and folder and then end the process as the interruption would have.
void RemoveTemporariesOnInterrupt();

// A slot that holds one temporary file's name, or a folder's, removed with
// everything below it; -1 when none is free (it is then merely not removed
// on an interruption). On Windows a file must be open with
// FILE_SHARE_DELETE, so that it can go while open.
int RegisterTemporary(const std::filesystem::path& path);
void ReleaseTemporary(int slot);

}  // namespace brxpack
