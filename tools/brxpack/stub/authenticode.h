#pragma once
// The Authenticode signature of a stub. A signed stub cannot carry a package
// and still be signed cleanly: its certificate table would sit inside the
// new file. The table is taken off first, and the output signed afterwards.
#include <cstdint>
#include <vector>

#include "brxpack/result.h"
#include "package/memory_range.h"

namespace brxpack {

struct UnsignedStub {
  std::vector<uint8_t> bytes;
  bool removed = false;  // a certificate table was taken off
  uint32_t removedBytes = 0;
  // Only for stubs below 4 GiB, as LoadStub gives.
  brx::MemoryRange range() const { return {bytes.data(), static_cast<uint32_t>(bytes.size())}; }
};

// The stub without its certificate table: the table cut from the file's
// end, the security directory entry zeroed and the PE checksum computed
// anew. A stub without a signature comes back unchanged. Fails when the
// bytes are no PE image, or the table does not end the file (it cannot be
// taken off without moving other bytes).
Result<UnsignedStub> RemoveSignature(brx::MemoryRange stub);

// The PE checksum of an image, the 4 bytes at checksumOffset left out.
uint32_t PeChecksum(const uint8_t* data, size_t size, uint32_t checksumOffset);

}  // namespace brxpack
