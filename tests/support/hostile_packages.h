#pragma once
// Hostile packages: packages made with the writer and then given the damage
// a hostile author would add, and payloads of a million items. Free of
// GoogleTest, so the tool that writes the fuzzers' inputs uses them too.
// Unless said otherwise the damage needs a stored directory, which the
// writer puts at the package's end.
#include <cstdint>
#include <string>
#include <vector>

#include "authoring/writer.h"
#include "package/format.h"

namespace brx::hostile {

// The largest entryCount whose directory size (entryCount * 48) fits 32 bits.
inline constexpr uint32_t kMostRecords = UINT32_MAX / kDirectoryEntrySize;  // 89,478,485

// Composes a package with a stored directory; empty when the writer refuses.
std::vector<uint8_t> WriteStored(const std::vector<PackageEntrySource>& entries, int level = 9);

// Header claims; any directory form.
void ClaimEntryCount(std::vector<uint8_t>& package, uint32_t count);
void ClaimDirectoryStreamSize(std::vector<uint8_t>& package, uint32_t size);

// Record claims.
void ClaimEntrySize(std::vector<uint8_t>& package, uint32_t index, uint32_t size);
// Fills the 32-byte name field of a record with `fill`, leaving no terminator.
void FillName(std::vector<uint8_t>& package, uint32_t index, char fill);
// Appends copies of record `index` until the directory holds `count` records.
void RepeatRecord(std::vector<uint8_t>& package, uint32_t index, uint32_t count);
// Replaces the stored directory with its zlib stream (the directory stays a
// valid one, in compressed form).
void CompressDirectory(std::vector<uint8_t>& package);

// `count` copies of `item` followed by `closing`: a list of a million items
// in a few bytes of code.
std::vector<uint8_t> Repeated(const std::string& item, uint32_t count, const std::string& closing);

}  // namespace brx::hostile
