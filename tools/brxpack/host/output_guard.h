#pragma once
// A build's outputs must not land on what it reads: a package written over
// the manifest or a payload file destroys it, and one written into the
// payload folder would be packed by the next build. Nor may any output land
// on the installer's programs (stubs) in use: every output is checked before
// its first byte (output_file.h), by identity (device and file number), so no
// name reaches them: a symlink, a hard link, a relative path, another case.
#include <filesystem>
#include <string>
#include <vector>

#include "brxpack/result.h"

namespace brxpack {

struct OutputInputs {
  std::vector<std::pair<std::filesystem::path, std::string>> files;  // each with what it is
  std::vector<std::filesystem::path> folders;                        // payload folders
  // What the folders are, for messages: what the next run would take from them.
  std::string folderKind = "payload folder";
  std::string folderReader = "build packs";
};

// True when path lies below folder (not the folder itself), both compared
// after resolving links and "..".
bool LiesInside(const std::filesystem::path& path, const std::filesystem::path& folder);

// Fails, naming the output and what it would hit, when an output is one of
// the input files, lies inside an input folder, or two outputs are the same
// file. Paths compare after resolving links and "..", as the system would.
Status CheckOutputs(const std::vector<std::filesystem::path>& outputs, const OutputInputs& inputs);

// Protects an existing file, named in refusals as `what`; a missing one
// cannot be written over and is not recorded.
void ProtectFromOutputs(const std::filesystem::path& file, const std::string& what);

// Fails, naming the output and what it is, when it is a protected file.
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
