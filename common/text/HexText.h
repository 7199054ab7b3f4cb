#pragma once
// Lowercase hexadecimal text, the form of every identifier, address and
// checksum in the reporter's texts.
#include <cstdint>
#include <string>

namespace kelvane {

// The digits of value, zero-filled to at least minDigits ("1f", "0000001f").
std::string HexLower(std::uint64_t value, unsigned minDigits = 0);
std::u16string HexLower16(std::uint64_t value, unsigned minDigits = 0);

}  // namespace kelvane
