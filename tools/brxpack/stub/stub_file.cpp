#include "brxpack/stub/stub_file.h"

#include <cstring>

#include "brx_version.h"
#include "brxpack/host/host_path.h"
#include "brxpack/host/mapped_file.h"
#include "brxpack/host/process_environment.h"
#include "brxpack/stub/brand.h"
#include "brxpack/stub/pe_resources.h"
#include "package/format.h"

namespace brxpack {

std::vector<std::filesystem::path> StubCandidates(StubArch arch) {
  const std::optional<std::filesystem::path> own = OwnExecutablePath();
  if (!own) return {};
  const std::filesystem::path beside = own->parent_path();
  const std::filesystem::path shared =
      (beside.parent_path() / "share" / BRX_PACKAGE_NAME).lexically_normal();
  if (arch == StubArch::kX64) return {beside / "x64" / "PATCH.EXE", shared / "x64" / "PATCH.EXE"};
  return {beside / "PATCH.EXE", shared / "PATCH.EXE"};
}

Result<std::filesystem::path> FindStub(StubArch arch) {
  const std::vector<std::filesystem::path> candidates = StubCandidates(arch);
  std::string looked;
  for (const std::filesystem::path& candidate : candidates) {
    std::error_code error;
    if (std::filesystem::is_regular_file(candidate, error)) return candidate;
    looked += (looked.empty() ? "" : ", ") + Utf8FromPath(candidate);
  }
  if (candidates.empty()) looked = "the tool cannot tell where it is installed";
  return Error{std::string("no ") + ArchName(arch) + " stub found (looked at " + looked +
               "): give the installer's program with --stub PATCH.EXE"};
}

Result<UnsignedStub> LoadStub(const std::filesystem::path& given, const ArchChoice& arch,
                              Console& console) {
  Result<std::filesystem::path> path = given.empty() ? FindStub(arch.arch) : given;
  if (!path.ok()) return path.TakeError();
  const std::string shown = Utf8FromPath(*path);
  Result<MappedFile> mapped = MappedFile::Open(*path);
  if (!mapped.ok()) return mapped.TakeError();
  if (!mapped->FitsIn32Bits()) return Error{shown + ": 4 GiB or larger"};
  const Result<StubArch> found = ArchOfImage(mapped->range());
  if (!found.ok()) return Error{shown + ": no installer stub: " + found.error()};
  if (*found != arch.arch) {
    return Error{shown + ": the stub is " + DescribeArch(*found) + ", but " + ArchName(arch.arch) +
                 " was chosen (" + arch.chosenBy + "); give the " + ArchName(arch.arch) +
                 " stub, or choose --arch " + ArchName(*found)};
  }
  Result<UnsignedStub> stub = RemoveSignature(mapped->range());
  if (!stub.ok()) return Error{shown + ": " + stub.error()};
  if (stub->removed && !console.quiet) {
    console.err << "brxpack: " << shown << " carries an Authenticode signature; removed it ("
                << stub->removedBytes
                << " bytes of certificate table, its directory entry cleared, the PE checksum "
                   "recomputed) so that the new executable can be signed cleanly\n";
  }
  const std::vector<uint8_t>& bytes = stub->bytes;
  if (bytes.size() >= brx::kTrailerSize &&
      std::memcmp(bytes.data() + bytes.size() - 4, brx::kTrailerMagic, 4) == 0) {
    console.err << "brxpack: warning: " << shown
                << " already carries a package; it stays inside the new executable, unused\n";
  }
  return stub;
}

Result<std::string> StubVersion(const std::filesystem::path& stub) {
  Result<MappedFile> file = MappedFile::Open(stub);
  if (!file.ok()) return file.TakeError();
  if (!file->FitsIn32Bits()) return Error{"4 GiB or larger"};
  Result<std::vector<Resource>> resources = ReadResources(file->range());
  if (!resources.ok()) return resources.TakeError();
  for (const Resource& resource : *resources) {
    if (!IsNumbered(resource.type, kResourceVersion)) continue;
    const std::optional<std::string> version =
        FileVersionOf({resource.bytes.data(), static_cast<uint32_t>(resource.bytes.size())});
    if (version) return *version;
  }
  return Error{"it carries no version information"};
}

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
