#include "app/builder.h"

#include <cstdint>
#include <cstring>
#include <optional>

#include "package/format.h"

namespace brx {

namespace {

// An input file opened for reading, with its low 32-bit size.
struct InputFile {
  Handle file = kNoHandle;
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
  return true;
}

// Maps the whole input and copies its first input.size bytes to destination.
// The mapping is released before returning, whatever happened.
bool CopyInput(System& system, const InputFile& input, uint8_t* destination) {
  const Handle mapping = system.CreateMapping(input.file, MapAccess::kRead, 0);
  if (mapping == kNoHandle) return false;
  const uint8_t* view = system.MapView(mapping, MapAccess::kRead);
  if (view != nullptr) {
    std::memcpy(destination, view, input.size);
    system.UnmapView(view);
  }
  system.Close(mapping);
  return view != nullptr;
}

bool CreateOutput(System& system, const char* path, uint32_t size, OutputFile* output) {
  output->file = system.CreateFileForWriting(path);
  if (output->file == kNoHandle) return false;
  output->mapping = system.CreateMapping(output->file, MapAccess::kWrite, size);
  if (output->mapping == kNoHandle) return false;
  output->view = system.MapView(output->mapping, MapAccess::kWrite);
  return output->view != nullptr;
}

// Releases in the order the output is finished: its view, its mapping, the
// output file, then the stub and the package. Close results are not looked
// at: nothing more can be done for a handle that will not close.
void ReleaseAll(System& system, OutputFile* output, InputFile* stub, InputFile* package) {
  if (output->view != nullptr) system.UnmapView(output->view);
  if (output->mapping != kNoHandle) system.Close(output->mapping);
  if (output->file != kNoHandle) system.Close(output->file);
  if (stub->file != kNoHandle) system.Close(stub->file);
  if (package->file != kNoHandle) system.Close(package->file);
  *output = OutputFile{};
  *stub = InputFile{};
  *package = InputFile{};
}

bool WriteOutput(System& system, const char* outputFile, const InputFile& stub,
                 const InputFile& package, OutputFile* output) {
  const uint32_t total = stub.size + package.size;
  if (!CreateOutput(system, outputFile, total + kTrailerSize, output)) return false;
  if (!CopyInput(system, stub, output->view)) return false;
  if (!CopyInput(system, package, output->view + stub.size)) return false;
  WriteTrailer(output->view + total, stub.size);
  return true;
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
