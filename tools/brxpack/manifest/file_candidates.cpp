#include "brxpack/manifest/file_candidates.h"

#include <algorithm>
#include <system_error>
#include <unordered_map>

#include "brxpack/contents/package_path.h"
#include "brxpack/contents/windows1251.h"
#include "brxpack/host/host_path.h"
#include "brxpack/manifest/payload_folder.h"

namespace brxpack {

namespace {

// Keeps the files [payload] only names, matched as Windows matches names;
// a pick that names no file, or a file picked twice, is a problem.
void KeepPicked(const std::vector<PayloadPick>& picks, std::vector<PayloadFile>& files,
                std::vector<std::string>& problems) {
  std::unordered_map<std::string, size_t> pickByPath;
  std::vector<bool> found(picks.size(), false);
  for (size_t i = 0; i < picks.size(); ++i) {
    std::string key = FoldedName(picks[i].path);
    std::replace(key.begin(), key.end(), '\\', '/');
    const auto [it, fresh] = pickByPath.emplace(key, i);
    if (!fresh) {
      found[i] = true;
      problems.push_back(picks[i].where + ": names the file of " + picks[it->second].where);
    }
  }
  std::erase_if(files, [&](const PayloadFile& file) {
    const auto it = pickByPath.find(FoldedName(file.relative));
    if (it == pickByPath.end()) return true;
    found[it->second] = true;
    return false;
  });
  for (size_t i = 0; i < picks.size(); ++i) {
    if (!found[i])
      problems.push_back(picks[i].where + ": '" + picks[i].path +
                         "' is no file of the payload folder");
  }
}

std::vector<FileCandidate> PayloadFolderFiles(const Manifest& manifest,
                                              std::vector<std::string>& problems) {
  std::vector<FileCandidate> candidates;
  if (!manifest.payload) return candidates;
  const PayloadSettings& payload = *manifest.payload;
  const std::filesystem::path folder = manifest.folder / payload.folder;
  Result<PayloadTree> tree = ScanPayloadTree(folder, payload.rules, payload.where);
  if (!tree.ok()) {
    problems.push_back(tree.error());
    return candidates;
  }
  if (payload.only) KeepPicked(*payload.only, tree->files, problems);
  for (PayloadFile& file : tree->files) {
    FileCandidate candidate;
    candidate.source = file.path;
    candidate.shown = Utf8FromPath(file.path);
    candidate.where = candidate.shown;
    candidate.size = file.size;
    Result<std::string> install = Utf8ToWindows1251(WithBackslashes(file.relative));
    if (!install.ok()) {
      problems.push_back(candidate.shown + ": the file's name: " + install.error());
      continue;
    }
    candidate.install = *install;
    candidates.push_back(std::move(candidate));
  }
  return candidates;
}

std::optional<FileCandidate> ExplicitFile(const Manifest& manifest, const FileItem& item,
                                          std::vector<std::string>& problems) {
  FileCandidate candidate;
  candidate.source = manifest.folder / item.source;
  candidate.shown = Utf8FromPath(candidate.source);
  candidate.where = item.where;
  candidate.entry = item.entry;
  candidate.install = item.install;
  candidate.installGiven = item.install.has_value();
  candidate.stored = item.stored;
  std::error_code error;
  if (!std::filesystem::is_regular_file(candidate.source, error)) {
    problems.push_back(item.where + ".source: " + candidate.shown + ": no such file");
    return std::nullopt;
  }
  candidate.size = std::filesystem::file_size(candidate.source, error);
  if (error) {
    problems.push_back(item.where + ".source: " + candidate.shown +
                       ": cannot read its size: " + SystemErrorText(error));
    return std::nullopt;
  }
  return candidate;
}

}  // namespace

std::vector<FileCandidate> GatherFileCandidates(const Manifest& manifest,
                                                std::vector<std::string>& problems) {
  std::vector<FileCandidate> candidates = PayloadFolderFiles(manifest, problems);
  std::unordered_map<std::string, size_t> payloadByPath;  // folded installed path -> candidate
  for (size_t i = 0; i < candidates.size(); ++i) {
    payloadByPath.emplace(FoldedName(*candidates[i].install), i);
  }
  std::vector<bool> replaced(candidates.size(), false);
  std::vector<FileCandidate> explicitFiles;
  for (const FileItem& item : manifest.files) {
    std::optional<FileCandidate> candidate = ExplicitFile(manifest, item, problems);
    if (!candidate) continue;
    if (candidate->install) {
      const auto payload = payloadByPath.find(FoldedName(*candidate->install));
      if (payload != payloadByPath.end()) replaced[payload->second] = true;
    }
    explicitFiles.push_back(std::move(*candidate));
  }
  std::vector<FileCandidate> gathered;
  gathered.reserve(candidates.size() + explicitFiles.size());
  for (size_t i = 0; i < candidates.size(); ++i) {
    if (!replaced[i]) gathered.push_back(std::move(candidates[i]));
  }
  for (FileCandidate& candidate : explicitFiles) gathered.push_back(std::move(candidate));
  return gathered;
}

}  // namespace brxpack
