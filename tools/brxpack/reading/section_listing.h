#pragma once
// A section payload in readable form, one line per item, texts in UTF-8.
#include <string>
#include <vector>

#include "brxpack/contents/section_bytes.h"

namespace brxpack {

std::vector<std::string> DescribeSection(const std::string& name, const SectionBytes& payload);

}  // namespace brxpack
