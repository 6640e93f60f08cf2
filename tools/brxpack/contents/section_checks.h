#pragma once
// Whether a section payload is well formed: every text terminated inside
// the payload, every list and table closed, every record and fixed item
// complete. The installer reads damaged payloads without complaint, cut at
// the payload's end, so these faults would otherwise go unnoticed.
#include <string>
#include <vector>

#include "brxpack/contents/section_bytes.h"

namespace brxpack {

// One line per fault; none for a well-formed payload or a section the
// installer does not read.
std::vector<std::string> CheckSection(const std::string& name, const SectionBytes& payload);

}  // namespace brxpack
