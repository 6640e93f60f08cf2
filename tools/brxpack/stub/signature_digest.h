#pragma once
// Whether an Authenticode signature still signs the file: the digest of the
// image, recomputed, against the digest the signature carries. A byte
// changed after signing (a package patched inside a signed executable)
// shows here, where the installer would run it all the same.
#include <string>

#include "package/memory_range.h"

namespace brxpack {

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

// For a PE whose certificate table ends the file (see signed_image.h). The
// image digest covers the file up to the table, the PE checksum and the
// security directory entry left out, as the signer computed it.
SignatureDigest CheckSignatureDigest(brx::MemoryRange file);

}  // namespace brxpack
