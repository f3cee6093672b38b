// Base64 (standard alphabet) over std::string, through the foundation library's codec.
#pragma once

#include <string>

namespace Sasl {

std::string Base64Encode(const std::string& bytes);
// Line breaks are skipped; other stray characters decode as zero bits.
std::string Base64Decode(const std::string& text);

} // namespace Sasl
