#include "brxpack/stub/authenticode.h"

#include <cstring>

#include "package/format.h"
#include "package/signed_image.h"

#ifdef BRXPACK_HAS_LIBCRYPTO
#include <openssl/asn1.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>

#include <memory>
#endif

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

#ifdef BRXPACK_HAS_LIBCRYPTO

namespace {

constexpr uint32_t kWinCertificateHeader = 8;  // dwLength, wRevision, wCertificateType
constexpr uint16_t kPkcsSignedData = 2;
constexpr char kSpcIndirectData[] = "1.3.6.1.4.1.311.2.1.4";

// Owns what libcrypto allocates, freed by its own function.
template <auto kFree>
struct Freed {
  template <typename T>
  void operator()(T* p) const {
    kFree(p);
  }
};

SignatureDigest DigestUnreadable(const std::string& why) {
  return {DigestVerdict::kUnreadable, why};
}

std::string Hex(const unsigned char* bytes, size_t size) {
  std::string text;
  for (size_t i = 0; i < size; ++i) {
    text += "0123456789abcdef"[bytes[i] >> 4];
    text += "0123456789abcdef"[bytes[i] & 15];
  }
  return text;
}

// Steps into a DER element of the expected tag; false when it is another.
bool Enter(const unsigned char** at, long* length, int expectedTag, const unsigned char* end) {
  int tag = 0;
  int xclass = 0;
  const int flags = ASN1_get_object(at, length, &tag, &xclass, end - *at);
  return (flags & 0x80) == 0 && tag == expectedTag && xclass == V_ASN1_UNIVERSAL &&
         *length <= end - *at;
}

// The digest inside SpcIndirectDataContent ::= SEQUENCE { data, DigestInfo
// ::= SEQUENCE { AlgorithmIdentifier, OCTET STRING } }.
struct SignedDigest {
  std::unique_ptr<ASN1_OBJECT, Freed<ASN1_OBJECT_free>> algorithm;
  std::unique_ptr<ASN1_OCTET_STRING, Freed<ASN1_OCTET_STRING_free>> digest;
};

bool ReadIndirectData(const unsigned char* der, long size, SignedDigest* out) {
  const unsigned char* end = der + size;
  const unsigned char* at = der;
  long length = 0;
  if (!Enter(&at, &length, V_ASN1_SEQUENCE, end)) return false;
  if (!Enter(&at, &length, V_ASN1_SEQUENCE, end)) return false;  // data: skipped
  at += length;
  if (!Enter(&at, &length, V_ASN1_SEQUENCE, end)) return false;  // DigestInfo
  if (!Enter(&at, &length, V_ASN1_SEQUENCE, end)) return false;  // AlgorithmIdentifier
  const unsigned char* afterAlgorithm = at + length;
  out->algorithm.reset(d2i_ASN1_OBJECT(nullptr, &at, afterAlgorithm - at));
  at = afterAlgorithm;
  out->digest.reset(d2i_ASN1_OCTET_STRING(nullptr, &at, end - at));
  return out->algorithm && out->digest;
}

SignatureDigest Compare(brx::MemoryRange file, const brx::PeSecurityDirectory& directory,
                        const SignedDigest& signedDigest) {
  const EVP_MD* md = EVP_get_digestbyobj(signedDigest.algorithm.get());
  if (md == nullptr) {
    return DigestUnreadable("its digest algorithm is one this build does not know");
  }
  std::unique_ptr<EVP_MD_CTX, Freed<EVP_MD_CTX_free>> context(EVP_MD_CTX_new());
  const auto hash = [&](uint64_t from, uint64_t to) {
    return EVP_DigestUpdate(context.get(), file.data + from, to - from) == 1;
  };
  unsigned char image[EVP_MAX_MD_SIZE];
  unsigned int imageSize = 0;
  if (!context || EVP_DigestInit_ex(context.get(), md, nullptr) != 1 ||
      !hash(0, directory.checksumOffset) ||
      !hash(directory.checksumOffset + 4, directory.entryOffset) ||
      !hash(directory.entryOffset + 8, directory.tableOffset) ||
      EVP_DigestFinal_ex(context.get(), image, &imageSize) != 1) {
    return DigestUnreadable("its digest could not be computed");
  }
  const std::string name = OBJ_nid2sn(EVP_MD_type(md));
  const std::string signedHex =
      Hex(ASN1_STRING_get0_data(signedDigest.digest.get()),
          static_cast<size_t>(ASN1_STRING_length(signedDigest.digest.get())));
  const std::string imageHex = Hex(image, imageSize);
  if (signedHex == imageHex) return {DigestVerdict::kMatches, name + " " + imageHex};
  return {DigestVerdict::kDiffers, name + ": signed " + signedHex + ", image " + imageHex};
}

}  // namespace

SignatureDigest CheckSignatureDigest(brx::MemoryRange file) {
  const std::optional<brx::PeSecurityDirectory> directory = brx::LocatePeSecurityDirectory(file);
  if (!directory || directory->tableSize < kWinCertificateHeader ||
      uint64_t{directory->tableOffset} + directory->tableSize > file.size ||
      directory->checksumOffset + 4 > directory->entryOffset ||
      directory->entryOffset + 8 > directory->tableOffset) {
    return DigestUnreadable("its certificate table is not where a signature can be");
  }
  const uint8_t* table = file.data + directory->tableOffset;
  const uint32_t length = brx::ReadLe32(table);
  const uint16_t type = static_cast<uint16_t>(table[6] | table[7] << 8);
  if (type != kPkcsSignedData || length < kWinCertificateHeader || length > directory->tableSize) {
    return DigestUnreadable("its first certificate is no PKCS#7 signature");
  }
  const unsigned char* der = table + kWinCertificateHeader;
  std::unique_ptr<PKCS7, Freed<PKCS7_free>> pkcs7(
      d2i_PKCS7(nullptr, &der, static_cast<long>(length - kWinCertificateHeader)));
  if (!pkcs7 || !PKCS7_type_is_signed(pkcs7.get()) || pkcs7->d.sign->contents == nullptr) {
    return DigestUnreadable("its certificate holds no PKCS#7 SignedData");
  }
  const PKCS7* contents = pkcs7->d.sign->contents;
  char typeName[64];
  OBJ_obj2txt(typeName, sizeof typeName, contents->type, 1);
  const ASN1_TYPE* other = contents->d.other;
  if (std::string(typeName) != kSpcIndirectData || other == nullptr ||
      other->type != V_ASN1_SEQUENCE) {
    return DigestUnreadable("its SignedData holds no Authenticode digest (SpcIndirectDataContent)");
  }
  SignedDigest signedDigest;
  if (!ReadIndirectData(other->value.sequence->data, other->value.sequence->length,
                        &signedDigest)) {
    return DigestUnreadable("its SpcIndirectDataContent cannot be read");
  }
  return Compare(file, *directory, signedDigest);
}

#else

SignatureDigest CheckSignatureDigest(brx::MemoryRange) {
  return {DigestVerdict::kNotChecked, "this build of brxpack has no libcrypto to check it with"};
}

#endif

}  // namespace brxpack
