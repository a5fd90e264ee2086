// The legacy 16-bit password hash that the workbook's write-reservation password and the
// sheet protection password are stored as.
#pragma once

#include <cstdint>
#include <string_view>

namespace tabsmith {

// The hash of the password's bytes; printed "%04X" in the parts.
std::uint16_t password_hash(std::string_view password);

}  // namespace tabsmith
