#include "brxpack/manifest/manifest_base.h"

#include <iterator>

#include "brxpack/contents/display_text.h"
#include "brxpack/contents/package_path.h"
#include "brxpack/contents/windows1251.h"
#include "brxpack/host/host_path.h"

namespace brxpack {

namespace {

template <typename T>
void Prepend(std::vector<T>& mine, std::vector<T> theirs) {
  theirs.insert(theirs.end(), std::make_move_iterator(mine.begin()),
                std::make_move_iterator(mine.end()));
  mine = std::move(theirs);
}

template <typename T>
void Prepend(std::optional<std::vector<T>>& mine, std::optional<std::vector<T>> theirs) {
  if (!theirs) return;
  if (!mine) mine.emplace();
  Prepend(*mine, std::move(*theirs));
}

}  // namespace

std::string ClashKey(const std::string& path) {
  return WithBackslashes(FoldedName(path));
}

TakenPaths TakenBy(const Manifest& manifest) {
  TakenPaths taken;
  const std::string file = Utf8FromPath(manifest.path) + ": ";
  const auto take = [&](const std::string& utf8, const char* list) {
    taken.emplace(ClashKey(utf8), file + list + " " + TomlString(utf8));
  };
  if (manifest.payload && manifest.payload->only) {
    for (const PayloadPick& pick : *manifest.payload->only) take(pick.path, "payload.only");
  }
  for (const auto& [list, paths] : {std::pair{"folders.create", &manifest.script.folders},
                                    std::pair{"remove.paths", &manifest.script.removals}}) {
    for (const std::string& path : paths->value_or(std::vector<std::string>{})) {
      take(Windows1251ToUtf8(path), list);
    }
  }
  return taken;
}

Status MergeBase(Manifest& manifest, Manifest base, const std::filesystem::path& baseFolder) {
  // The base's host paths start from its own folder.
  const auto rebased = [&](std::filesystem::path& path) {
    path = (baseFolder / path).lexically_normal();
  };
  std::string both;
  const auto take = [&](auto& mine, auto& theirs, const char* table) {
    if (theirs && mine) both += (both.empty() ? "" : ", ") + std::string(table);
    if (!mine) mine = std::move(theirs);
  };
  if (base.output) rebased(*base.output);
  if (base.brand && !base.brand->icon.empty()) rebased(base.brand->icon);
  for (FileItem& file : base.files) rebased(file.source);
  if (!manifest.script.target) manifest.arch = base.arch;
  take(manifest.level, base.level, "[package] level");
  take(manifest.output, base.output, "[package] output");
  take(manifest.script.target, base.script.target, "[target]");
  take(manifest.script.startup, base.script.startup, "[startup]");
  take(manifest.brand, base.brand, "[brand]");
  if (!both.empty()) {
    return Error{Utf8FromPath(manifest.path) + ": " + both + ": given both here and in the base " +
                 Utf8FromPath(base.path) + "; give each in one of them"};
  }
  Prepend(manifest.files, std::move(base.files));
  Prepend(manifest.script.renames, std::move(base.script.renames));
  Prepend(manifest.script.folders, std::move(base.script.folders));
  Prepend(manifest.script.commands, std::move(base.script.commands));
  Prepend(manifest.script.commandWhere, std::move(base.script.commandWhere));
  Prepend(manifest.script.removals, std::move(base.script.removals));
  Prepend(manifest.script.registry, std::move(base.script.registry));
  Prepend(manifest.script.raw, std::move(base.script.raw));
  return Status::Ok();
}

}  // namespace brxpack
