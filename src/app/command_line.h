#pragma once
// The worker's own command-line rules and the choice of run mode.
#include <cstdint>

namespace brx {

inline constexpr uint32_t kMaxArguments = 256;

// Heap copies of the arguments, argument 1 (index 0) being the program's own
// path as the command line gives it. Arguments past the 256th are dropped.
struct ArgumentList {
  char** items = nullptr;  // kMaxArguments slots
  uint32_t count = 0;
};

// Splits the command line: blanks are the bytes 0x01 to 0x20; a double quote
// opens an argument that runs to the next quote or the end; any other run of
// non-blank bytes is an argument (quotes inside it included); an empty quoted
// argument ends the splitting. There are no escapes. False only when memory
// runs out; the list then holds what was split before.
bool SplitCommandLine(const char* commandLine, ArgumentList* arguments);

// Frees the slots and every argument; the list is empty afterwards.
void ReleaseArguments(ArgumentList* arguments);

enum class RunMode {
  kApplyOwnFile,      // 0 or 1 arguments: the package behind the program's own file
  kApplyPackageFile,  // 2 or 3 arguments: the package file named by argument 2
  kBuild,             // 4 or more, argument 4 exactly "MAKEEXE"
  kUsage,             // 4 or more, argument 4 anything else
};

RunMode SelectRunMode(const ArgumentList& arguments);

}  // namespace brx
