#include "package/entry_lookup.h"
#include "package/section_names.h"
#include "package/section_readers.h"
#include "run/user_texts.h"
#include "steps/phases.h"
#include "steps/target_path.h"

namespace brx {

namespace {

// The started program sees DUMMY as its own name; the program path alone
// decides what runs.
constexpr char kCommandLineProgramName[] = "DUMMY ";
// The error file's path always fits the command buffer: the target folder
// is a path text, and the file name is a short constant.
static_assert(PathText::kCapacity + sizeof(kCommandErrorFileName) <= CommandText::kCapacity);

// Program path and command line of one record. False when either does not
// fit its buffer.
bool BuildCommand(const PathText& folder, const CommandRecord& record, CommandText* program,
                  CommandText* commandLine) {
  program->Clear();
  if ((record.flags & kCommandRelative) && !program->Append(folder.c_str())) return false;
  return program->Append(record.program) && commandLine->Assign(kCommandLineProgramName) &&
         commandLine->Append(record.arguments);
}

// Starts one command, waits for it if asked, and checks the error file.
// False when the command failed: it could not be built or started, or it
// left the error file (which is then deleted).
bool RunCommand(System& system, const RunState& run, const CommandRecord& record) {
  // Without a target folder that fits a path there is no current directory
  // to give the program.
  PathText folder;
  CommandText program;
  CommandText commandLine;
  if (!JoinTargetPath(run, "", &folder) || !BuildCommand(folder, record, &program, &commandLine)) {
    return false;
  }
  ProcessHandles handles;
  if (!system.StartProcess(program.c_str(), commandLine.data(), folder.c_str(), &handles)) {
    return false;
  }
  // The wait's result and the exit code are not read: only a failed start or
  // the error file count as failure.
  if (record.flags & kCommandWait) system.WaitForProcess(handles.process);
  system.Close(handles.process);
  system.Close(handles.thread);

  CommandText errorFile;
  errorFile.Assign(folder.c_str());  // fits, see the static_assert
  errorFile.Append(kCommandErrorFileName);
  if (!system.PathExists(errorFile.c_str())) return true;
  system.DeletePath(errorFile.c_str());  // not looked at: the failure stands either way
  return false;
}

}  // namespace

void RunCommands(System& system, RunState& run) {
  SectionBlock commands = LoadSection(run.package, kCommandsSection);
  if (commands.status() == SectionBlock::Status::kNotFound) return;
  // A list that cannot be produced (no memory for its block) counts as a
  // failed first command: none is started, and the user is told.
  bool failed = !commands.loaded();
  PayloadCursor cursor(commands.bytes());
  CommandRecord record;
  // The first failure ends the list: no later command is started.
  while (!failed && ReadCommandRecord(cursor, &record) == ReadStep::kItem) {
    failed = !RunCommand(system, run, record);
  }
  commands.Release();
  if (!failed) return;
  system.AskUser(kCommandsFailedText, kCommandsFailedCaption, kMbOk | kMbIconExclamation);
  run.MarkUpdateFailed();
}

}  // namespace brx
