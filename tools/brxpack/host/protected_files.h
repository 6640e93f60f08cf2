#pragma once
// Files no output may land on, for the length of one command: the
// installer's programs (stubs) in use. Every output is checked here before
// its first byte (output_file.h), so no command can write over them under
// any name: a symlink, a hard link, a relative path, another case on
// Windows. Compared by identity (device and file number), as the system
// opens them.
#include <filesystem>
#include <string>

#include "brxpack/result.h"

namespace brxpack {

// Protects an existing file, named in refusals as `what`; a missing one
// cannot be written over and is not recorded.
void ProtectFromOutputs(const std::filesystem::path& file, const std::string& what);

// Fails, naming the output and what it would destroy, when the output is a
// protected file.
Status CheckNotProtected(const std::filesystem::path& output);

// The protection of one command: everything protected while it lives is
// released when it goes.
class OutputProtectionScope {
 public:
  OutputProtectionScope() = default;
  OutputProtectionScope(const OutputProtectionScope&) = delete;
  OutputProtectionScope& operator=(const OutputProtectionScope&) = delete;
  ~OutputProtectionScope();
};

}  // namespace brxpack
