#pragma once
// Authenticode signatures. A signed stub cannot carry a package and still be
// signed cleanly: its certificate table would sit inside the new file. The
// table is taken off first, and the output signed afterwards. A signed
// executable is checked for whether its signature still signs it: a byte
// changed after signing (a package patched inside) shows there, where the
// installer would run it all the same.
#include <cstdint>
#include <string>
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

enum class DigestVerdict {
  kMatches,
  kDiffers,     // damage: the image is not what was signed
  kUnreadable,  // damage: the certificate table is no signature we can read
  kNotChecked,  // this build has no cryptography to check it with
};

struct SignatureDigest {
  DigestVerdict verdict = DigestVerdict::kNotChecked;
  std::string detail;  // the algorithm and both digests, or why it could not be read
};

// The digest of the image, recomputed, against the one the signature
// carries; for a PE whose certificate table ends the file (see
// signed_image.h). The image digest covers the file up to the table, the PE
// checksum and the security directory entry left out, as the signer
// computed it.
SignatureDigest CheckSignatureDigest(brx::MemoryRange file);

}  // namespace brxpack
