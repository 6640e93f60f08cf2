#include "brxpack/stub/stub_file.h"

#include <cstring>

#include "brxpack/stub/stub_location.h"
#include "brxpack/host/host_path.h"
#include "brxpack/host/mapped_file.h"
#include "package/format.h"

namespace brxpack {

namespace {

Result<std::filesystem::path> StubPath(const std::filesystem::path& given, StubArch arch) {
  if (!given.empty()) return given;
  return FindStub(arch);
}

}  // namespace

Result<UnsignedStub> LoadStub(const std::filesystem::path& given, const ArchChoice& arch,
                              Console& console) {
  Result<std::filesystem::path> path = StubPath(given, arch.arch);
  if (!path.ok()) return path.TakeError();
  const std::string shown = Utf8FromPath(*path);
  Result<MappedFile> mapped = MappedFile::Open(*path);
  if (!mapped.ok()) return mapped.TakeError();
  if (!mapped->FitsIn32Bits()) return Error{shown + ": 4 GiB or larger"};
  Status fits = CheckStubArch(mapped->range(), shown, arch);
  if (!fits.ok()) return fits.TakeError();
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

}  // namespace brxpack
