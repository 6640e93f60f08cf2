#include <cstring>

#include "package/entry_lookup.h"
#include "run/status.h"
#include "run/user_texts.h"
#include "steps/backup_path.h"
#include "steps/phases.h"
#include "steps/replace_file.h"
#include "steps/target_path.h"

namespace brx {

namespace {

// Creates each folder on the way to the installed name below the target
// folder; one leading backslash is skipped and the file's own name is never
// made a folder. False when the walk path does not fit.
bool CreateIntermediateFolders(System& system, const RunState& run, const char* installedName) {
  PathText walk;
  if (!JoinTargetPath(run, "", &walk)) return false;
  const char* position = installedName[0] == '\\' ? installedName + 1 : installedName;
  for (const char* slash = std::strchr(position, '\\'); slash != nullptr;
       slash = std::strchr(position, '\\')) {
    if (!walk.AppendBytes(position, static_cast<size_t>(slash - position))) return false;
    // Not looked at: an existing folder is the normal case, and one that
    // cannot be made fails the file when it is created.
    system.CreateFolder(walk.c_str());
    if (!walk.AppendChar('\\')) return false;
    position = slash + 1;
  }
  return true;
}

enum class NewFile {
  kWritten,
  kNotCreated,  // nothing of this run stands at the path
  kFailed,      // created by this run, but not complete
};

// Creates the file where nothing stands, at its full size through the
// mapping, and produces the entry into the view. Fails when any of that
// fails, the entry does not produce exactly its size, or writing the view
// faults (a disk that cannot back its pages); the handles are closed either
// way.
NewFile WriteNewFile(System& system, const Package& package, const DirectoryEntry& entry,
                     const char* path) {
  const Handle file = system.CreateNewFile(path);
  if (file == kNoHandle) return NewFile::kNotCreated;
  bool produced = false;
  if (entry.size == 0) {
    // An empty file cannot be mapped, and created empty it is complete. The
    // entry is still produced (into no room) so a damaged stream fails.
    produced = ExtractEntry(package, entry, nullptr);
  } else if (const Handle mapping = system.CreateMapping(file, MapAccess::kWrite, entry.size);
             mapping != kNoHandle) {
    if (uint8_t* view = system.MapView(mapping, MapAccess::kWrite); view != nullptr) {
      produced = ExtractEntryIntoView(system, package, entry, view);
      // Not looked at: the view's bytes are the file's, whatever the release says.
      system.UnmapView(view);
    }
    system.Close(mapping);
  }
  system.Close(file);
  return produced ? NewFile::kWritten : NewFile::kFailed;
}

// The failure text for a destination that no path buffer holds: folder and
// name go to the formatted print apart ("(%s)" becomes "(%s%s)"), so the
// text shows the whole path and nothing is cut.
void ShowUnbuiltPathFailure(System& system, const RunState& run, const char* installedName) {
  const char* argument = std::strstr(kFileFailedFormat, "%s");
  CommandText format;
  if (argument == nullptr ||
      !format.AppendBytes(kFileFailedFormat, static_cast<size_t>(argument - kFileFailedFormat)) ||
      !format.Append("%s") || !format.Append(argument)) {
    return;  // The failure text is a constant of a few dozen bytes; it always fits.
  }
  ShowStatus(system, format.c_str(), run.target.targetFolder.c_str(), installedName);
}

void FailWithoutTouching(System& system, RunState& run, const char* installedName,
                         const PathText& destination) {
  run.MarkUpdateFailed();
  if (destination.empty()) {
    ShowUnbuiltPathFailure(system, run, installedName);
  } else {
    ShowStatus(system, kFileFailedFormat, destination.c_str());
  }
}

}  // namespace

bool ReplaceFile(System& system, RunState& run, const DirectoryEntry& entry) {
  // Without its installed name (its pair in the name table is cut short by
  // the section's end) the file is shown under its entry name and fails
  // untouched.
  const char* translated = TranslateName(run, entry.name);
  const char* installedName = translated != nullptr ? translated : entry.name;
  PathText destination;
  PathText backup;
  const bool destinationFits = JoinTargetPath(run, installedName, &destination);
  const bool backupFits = destinationFits && FormBackupPath(destination, &backup);
  ShowStatus(system, kUpdatingFileFormat, installedName);

  // An entry claiming more than its stream can give fails before a file of
  // that size is made. An empty installed name (a source name of the table
  // without its translation) names the target folder itself, which must
  // never be moved to a backup name; it can never be written as a file
  // anyway. Nor may any other folder that stands at the destination: moved
  // aside whole, with the user's files in it, it would never come back.
  if (translated == nullptr || !SizeFitsStream(entry) || !backupFits || installedName[0] == '\0' ||
      system.IsFolder(destination.c_str()) ||
      !CreateIntermediateFolders(system, run, installedName)) {
    FailWithoutTouching(system, run, installedName, destination);
    return false;
  }

  // The file standing at the destination waits under a backup name of this
  // run until its successor is complete. Nothing this run did not create is
  // deleted or overwritten: a backup name that is taken (the user's own, or
  // one a killed run left) is passed over, a file that cannot be moved aside
  // fails untouched, and the new file is only ever created where nothing
  // stands.
  const bool backedUp = system.PathExists(destination.c_str());
  if (backedUp && (!ChooseBackupPath(system, destination, &backup) ||
                   !system.MovePath(destination.c_str(), backup.c_str()))) {
    FailWithoutTouching(system, run, installedName, destination);
    return false;
  }
  const NewFile written = WriteNewFile(system, run.package, entry, destination.c_str());
  // The results of the deletes and the move back are not looked at: what
  // they leave is this run's own backup, which holds the previous file.
  if (written == NewFile::kWritten) {
    if (backedUp) system.DeletePath(backup.c_str());
    ShowStatus(system, kFileUpdatedFormat, destination.c_str());
    return true;
  }
  run.MarkUpdateFailed();
  if (written == NewFile::kFailed) system.DeletePath(destination.c_str());
  if (backedUp) system.MovePath(backup.c_str(), destination.c_str());
  ShowStatus(system, kFileFailedFormat, destination.c_str());
  return false;
}

void InstallFiles(System& system, RunState& run) {
  if (run.package.directory == nullptr) return;
  // Directory order is installation order: of two entries for one path the
  // later one wins. Nothing ends the loop early.
  for (uint32_t index = 0; index < run.package.entryCount(); ++index) {
    const DirectoryEntry& entry = run.package.directory[index];
    if (entry.IsSection()) continue;
    ReplaceFile(system, run, entry);
  }
}

}  // namespace brx
