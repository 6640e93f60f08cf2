#include "brxpack/authoring/payload_folder.h"

#include <algorithm>
#include <system_error>

#include "brxpack/host/host_path.h"

namespace brxpack {

Result<std::vector<PayloadFile>> ScanPayloadFolder(const std::filesystem::path& folder,
                                                   const std::string& where) {
  Result<PayloadTree> tree = ScanPayloadTree(folder, where);
  if (!tree.ok()) return tree.TakeError();
  return std::move(tree->files);
}

Result<PayloadTree> ScanPayloadTree(const std::filesystem::path& folder, const std::string& where) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    return Error{where + ": " + Utf8FromPath(folder) + ": no such folder"};
  }
  PayloadTree tree;
  std::vector<PayloadFile>& files = tree.files;
  fs::recursive_directory_iterator walk(folder, error);
  for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
    const fs::directory_entry& item = *walk;
    std::error_code itemError;
    if (item.is_directory(itemError)) {
      tree.folders.push_back(
          Utf8FromPath(item.path().lexically_relative(folder).generic_u8string()));
      continue;
    }
    if (!item.is_regular_file(itemError)) continue;
    PayloadFile file;
    file.path = item.path();
    file.relative = Utf8FromPath(item.path().lexically_relative(folder).generic_u8string());
    file.size = item.file_size(itemError);
    if (itemError) {
      return Error{Utf8FromPath(item.path()) +
                   ": cannot read its size: " + SystemErrorText(itemError)};
    }
    files.push_back(std::move(file));
  }
  if (error) {
    return Error{where + ": " + Utf8FromPath(folder) + ": cannot list: " + SystemErrorText(error)};
  }
  std::sort(files.begin(), files.end(),
            [](const PayloadFile& a, const PayloadFile& b) { return a.relative < b.relative; });
  std::sort(tree.folders.begin(), tree.folders.end());
  return tree;
}

}  // namespace brxpack
