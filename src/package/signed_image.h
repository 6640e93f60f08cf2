#pragma once
// Authenticode signing appends a certificate table behind everything in the
// file, so a signed self-applying executable no longer ends with its trailer.
// These functions find the PE's security data directory and, through it, the
// trailer that stands right before the certificate table.
#include <cstdint>
#include <optional>

#include "package/memory_range.h"

namespace brx {

// Where a PE32 or PE32+ image keeps its checksum and its security data
// directory entry (file offsets), and what that entry says.
struct PeSecurityDirectory {
  uint32_t checksumOffset;  // the optional header's CheckSum field
  uint32_t entryOffset;     // the 8-byte directory entry: table offset, then table size
  uint32_t tableOffset;     // a file offset, unlike every other data directory
  uint32_t tableSize;       // 0 when the image is not signed
};

// Nothing when the bytes are not a PE image whose headers, up to and
// including the security directory entry, lie inside them.
std::optional<PeSecurityDirectory> LocatePeSecurityDirectory(MemoryRange file);

// The offset of the 8-byte trailer of a signed self-applying executable: the
// file is a PE whose certificate table ends exactly at the file's end, and
// the trailer ends right before the table or before up to 7 zero bytes that
// align the table to 8 bytes. Nothing for any other file.
std::optional<uint32_t> FindTrailerBeforeCertificateTable(MemoryRange file);

}  // namespace brx
