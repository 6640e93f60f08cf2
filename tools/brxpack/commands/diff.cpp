// brxpack diff: the manifest of the update that turns one release folder
// into another, with the figures of what it takes and leaves out.
#include <system_error>

#include "authoring/zlib_compressor.h"
#include "brxpack/authoring/diff_manifest.h"
#include "brxpack/authoring/manifest_parser.h"
#include "brxpack/authoring/package_size.h"
#include "brxpack/authoring/release_diff.h"
#include "brxpack/commands/commands.h"
#include "brxpack/commands/exit_codes.h"
#include "brxpack/commands/refuse.h"
#include "brxpack/host/byte_size.h"
#include "brxpack/host/host_path.h"
#include "brxpack/host/output_file.h"
#include "brxpack/host/scratch_folder.h"

namespace brxpack {

namespace fs = std::filesystem;

namespace {

// A manifest without [target] cannot be planned; its sections weigh a few
// bytes, so the figures stand in for the target the publisher will give.
constexpr char kStandInTarget[] = "\n[target]\nregistry_key = 'SOFTWARE\\P\\P'\npatch_level = 1\n";

std::string Row(const char* what, const DiffTally& tally) {
  std::string row = what;
  row.resize(10, ' ');
  return row + std::to_string(tally.files) + (tally.files == 1 ? " file, " : " files, ") +
         ReadableSize(tally.bytes);
}

// Both packages written as build writes them: the update, and the one that
// takes every file of NEW with the same sections.
int PrintStats(const ReleaseDiff& diff, const std::string& text, const fs::path& manifestPath,
               bool hasBase, const DiffOptions& options, std::ostream& out, Console& console) {
  out << Row("unchanged", diff.unchanged) << "\n"
      << Row("changed", Tally(diff.changed)) << "\n"
      << Row("new", Tally(diff.added)) << "\n"
      << Row("removed", Tally(diff.removed))
      << (diff.removedFolders.empty()
              ? ""
              : ", and " + std::to_string(diff.removedFolders.size()) +
                    (diff.removedFolders.size() == 1 ? " folder" : " folders") + " left empty")
      << "\n";
  Result<Manifest> update = ParseManifest(text + (hasBase ? "" : kStandInTarget), manifestPath);
  if (!update.ok()) return Refuse(console, update.error());
  Manifest full = *update;
  if (full.payload) full.payload->only.reset();
  Result<ScratchFolder> scratch = ScratchFolder::Create("brxpack-diff-");
  if (!scratch.ok()) return Refuse(console, scratch.error());
  const int level = update->level.value_or(brx::kDefaultCompressionLevel);
  Result<uint64_t> updateSize = PackageSize(*update, level, options.threads, scratch->path());
  if (!updateSize.ok()) return Refuse(console, updateSize.error());
  Result<uint64_t> fullSize = PackageSize(full, level, options.threads, scratch->path());
  if (!fullSize.ok()) return Refuse(console, fullSize.error());
  out << "package   " << ReadableSize(*updateSize) << ", against " << ReadableSize(*fullSize)
      << " for a full package of NEW (" << (*fullSize == 0 ? 0 : *updateSize * 100 / *fullSize)
      << "%): both written by build's own writer at level " << level
      << ", with the manifest's sections" << (hasBase ? "" : " and a stand-in [target]")
      << "; the full one takes every file of NEW\n";
  return kExitOk;
}

// The payload folder's rules, which the manifest repeats for build.
Result<PayloadRules> RulesOf(const DiffOptions& options) {
  PayloadRules rules;
  rules.followLinks = options.symlinks;
  for (const auto& [texts, patterns] :
       {std::pair{&options.exclude, &rules.exclude}, std::pair{&options.include, &rules.include}}) {
    for (const std::string& text : *texts) {
      Result<PathPattern> pattern = PathPattern::Parse(text);
      if (!pattern.ok()) return Error{"'" + text + "': " + pattern.error()};
      patterns->push_back(std::move(*pattern));
    }
  }
  return rules;
}

}  // namespace

int RunDiff(const DiffOptions& options, Console& console) {
  Result<PayloadRules> rules = RulesOf(options);
  if (!rules.ok()) return Refuse(console, rules.error());
  Result<PayloadTree> older = ScanPayloadTree(PathFromUtf8(options.older), *rules, "OLD");
  if (!older.ok()) return Refuse(console, older.error());
  Result<PayloadTree> newer = ScanPayloadTree(PathFromUtf8(options.newer), *rules, "NEW");
  if (!newer.ok()) return Refuse(console, newer.error());
  Result<ReleaseDiff> diff = DiffReleases(*older, *newer);
  if (!diff.ok()) return Refuse(console, diff.error());

  std::error_code error;
  const fs::path manifestPath = options.output.empty()
                                    ? fs::current_path(error) / "update.toml"
                                    : fs::absolute(PathFromUtf8(options.output), error);
  DiffManifestRequest request;
  request.diff = &*diff;
  request.olderShown = options.older;
  request.newerShown = options.newer;
  request.manifestShown = options.output.empty() ? "update.toml" : options.output;
  request.newer = PathFromUtf8(options.newer);
  request.exclude = options.exclude;
  request.include = options.include;
  request.symlinks = options.symlinks;
  request.manifestFolder = manifestPath.parent_path();
  if (!options.base.empty()) request.base = PathFromUtf8(options.base);
  Result<std::string> text = ComposeDiffManifest(request);
  if (!text.ok()) return Refuse(console, text.error());
  for (const std::string& note : diff->notes) Warn(console, note);

  if (options.output.empty()) {
    console.out << *text;
  } else {
    Result<AtomicOutputFile> file = AtomicOutputFile::Create(manifestPath);
    if (!file.ok()) return Refuse(console, file.error());
    Status written = file->Write(text->data(), text->size());
    if (written.ok()) written = file->Commit();
    if (!written.ok()) return Refuse(console, written.error());
    console.out << "brxpack: wrote " << options.output << ": " << DiffSummary(*diff) << "\n";
  }
  if (!options.stats) return kExitOk;
  // With the manifest on standard output, the figures go beside the messages.
  return PrintStats(*diff, *text, manifestPath, request.base.has_value(), options,
                    options.output.empty() ? console.err : console.out, console);
}

}  // namespace brxpack
