#include "brxpack/stub/authenticode.h"

#include <cstring>

#include "package/format.h"
#include "package/signed_image.h"

namespace brxpack {

uint32_t PeChecksum(const uint8_t* data, size_t size, uint32_t checksumOffset) {
  uint64_t sum = 0;
  for (size_t i = 0; i < size; i += 2) {
    if (i == checksumOffset || i == size_t{checksumOffset} + 2) continue;
    const uint32_t word = data[i] | (i + 1 < size ? data[i + 1] << 8 : 0);
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + size);
}

Result<UnsignedStub> RemoveSignature(brx::MemoryRange stub) {
  const std::optional<brx::PeSecurityDirectory> directory = brx::LocatePeSecurityDirectory(stub);
  if (!directory) return Error{"not a Windows program (no PE header)"};
  UnsignedStub result;
  if (directory->tableSize == 0) {
    result.bytes.assign(stub.data, stub.data + stub.size);
    return result;
  }
  if (uint64_t{directory->tableOffset} + directory->tableSize != stub.size) {
    return Error{"its certificate table (" + std::to_string(directory->tableSize) + " bytes at " +
                 std::to_string(directory->tableOffset) +
                 ") does not end the file, so it cannot be taken off"};
  }
  result.bytes.assign(stub.data, stub.data + directory->tableOffset);
  std::memset(result.bytes.data() + directory->entryOffset, 0, 8);
  brx::WriteLe32(result.bytes.data() + directory->checksumOffset,
                 PeChecksum(result.bytes.data(), result.bytes.size(), directory->checksumOffset));
  result.removed = true;
  result.removedBytes = directory->tableSize;
  return result;
}

}  // namespace brxpack
