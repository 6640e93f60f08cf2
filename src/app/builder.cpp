#include "app/builder.h"

#include <cstdint>
#include <cstring>
#include <optional>

#include "package/format.h"

namespace brx {

namespace {

// An input file mapped for reading, with its low 32-bit size.
struct InputFile {
  Handle file = kNoHandle;
  Handle mapping = kNoHandle;
  const uint8_t* view = nullptr;
  uint32_t size = 0;
};

// The output file with its writable mapping and view.
struct OutputFile {
  Handle file = kNoHandle;
  Handle mapping = kNoHandle;
  uint8_t* view = nullptr;
};

bool OpenInput(System& system, const char* path, InputFile* input) {
  input->file = system.OpenFileForReading(path);
  if (input->file == kNoHandle) return false;
  const std::optional<uint32_t> size = system.FileSize(input->file);
  if (!size) return false;
  input->size = *size;
  input->mapping = system.CreateMapping(input->file, MapAccess::kRead, 0);
  if (input->mapping == kNoHandle) return false;
  input->view = system.MapView(input->mapping, MapAccess::kRead);
  return input->view != nullptr;
}

bool CreateOutput(System& system, const char* path, uint32_t size, OutputFile* output) {
  output->file = system.CreateFileForWriting(path);
  if (output->file == kNoHandle) return false;
  output->mapping = system.CreateMapping(output->file, MapAccess::kWrite, size);
  if (output->mapping == kNoHandle) return false;
  output->view = system.MapView(output->mapping, MapAccess::kWrite);
  return output->view != nullptr;
}

void Release(System& system, InputFile* input) {
  if (input->view != nullptr) system.UnmapView(input->view);
  if (input->mapping != kNoHandle) system.Close(input->mapping);
  if (input->file != kNoHandle) system.Close(input->file);
  *input = InputFile{};
}

// Releases in the order the output is finished: its view, its mapping, the
// output file, then the stub and the package. Close results are not looked
// at: nothing more can be done for a handle that will not close.
void ReleaseAll(System& system, OutputFile* output, InputFile* stub, InputFile* package) {
  if (output->view != nullptr) system.UnmapView(output->view);
  if (output->mapping != kNoHandle) system.Close(output->mapping);
  if (output->file != kNoHandle) system.Close(output->file);
  *output = OutputFile{};
  Release(system, stub);
  Release(system, package);
}

struct Inputs {
  const InputFile* stub;
  const InputFile* package;
};

// Only copies: a fault of the output's view (a full disk) jumps out of
// here, and nothing is left held by the frames it skips.
bool FillOutput(void* context, uint8_t* view) {
  const auto* inputs = static_cast<const Inputs*>(context);
  const uint32_t stubSize = inputs->stub->size;
  std::memcpy(view, inputs->stub->view, stubSize);
  std::memcpy(view + stubSize, inputs->package->view, inputs->package->size);
  WriteTrailer(view + stubSize + inputs->package->size, stubSize);
  return true;
}

// Writes the output through the same guard as the file phase's views, so
// a disk that fills up fails the build instead of ending the program.
bool WriteOutput(System& system, const char* outputFile, const InputFile& stub,
                 const InputFile& package, OutputFile* output) {
  const uint32_t size = stub.size + package.size + kTrailerSize;
  if (!CreateOutput(system, outputFile, size, output)) return false;
  Inputs inputs{&stub, &package};
  return system.FillView(output->view, size, FillOutput, &inputs);
}

}  // namespace

bool BuildSelfApplying(System& system, const char* stubFile, const char* packageFile,
                       const char* outputFile) {
  InputFile stub;
  InputFile package;
  OutputFile output;
  const bool built = OpenInput(system, stubFile, &stub) &&
                     OpenInput(system, packageFile, &package) &&
                     uint64_t{stub.size} + package.size + kTrailerSize <= UINT32_MAX &&
                     WriteOutput(system, outputFile, stub, package, &output);
  const bool outputCreated = output.file != kNoHandle;
  ReleaseAll(system, &output, &stub, &package);
  // Only a file this call created is deleted: a create that failed may have
  // met the stub, the package or a file someone else holds open.
  if (!built && outputCreated) system.DeletePath(outputFile);
  return built;
}

}  // namespace brx
