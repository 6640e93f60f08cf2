#include "brxpack/stub/self_applying.h"

#include "package/format.h"

namespace brxpack {

Status WriteTrailer(uint32_t packageStart, AtomicOutputFile& output) {
  uint8_t bytes[brx::kTrailerSize];
  brx::WriteTrailer(bytes, packageStart);
  return output.Write(bytes, sizeof bytes);
}

Status CheckSelfApplyingSize(uint64_t stubSize, uint64_t packageSize) {
  if (stubSize + packageSize + brx::kTrailerSize <= UINT32_MAX) return Status::Ok();
  return Error{"the stub and the package together pass 4 GiB"};
}

Status WriteSelfApplying(brx::MemoryRange stub, brx::MemoryRange package,
                         const std::filesystem::path& outputPath) {
  Status status = CheckSelfApplyingSize(stub.size, package.size);
  if (!status.ok()) return status;
  Result<AtomicOutputFile> output = AtomicOutputFile::Create(outputPath);
  if (!output.ok()) return output.TakeError();
  status = output->Write(stub.data, stub.size);
  if (status.ok()) status = output->Write(package.data, package.size);
  if (status.ok()) status = WriteTrailer(stub.size, *output);
  if (status.ok()) status = output->Commit();
  return status;
}

}  // namespace brxpack
