#pragma once
// Small text and checksum rules of the listed call stack.
#include <cstdint>
#include <string>

#include "reporter/engines/memory/MemoryReader.h"

namespace ruvex {

// Lowercase hexadecimal, zero-filled to at least `digits`.
std::u16string HexText(std::uint64_t value, std::size_t digits);

// The CRC-32 table step (reflected 0xEDB88320) without initial or final
// inversion, over the UTF-16LE bytes of `text`.
std::uint32_t CrcStep(std::uint32_t crc, const std::u16string& text);

// The checksum lower-casing: A to Z and the three umlauts Ä, Ö, Ü.
std::u16string ChecksumLower(std::u16string text);

// The value of one listed item for the call-stack checksums: its address
// when the function, module or name is unknown; else its offset in the
// function, folded with the names.
std::uint32_t ItemChecksum(Address address, Address publicAddress, const std::u16string& module,
                           const std::u16string& unit, const std::u16string& publicName);

}  // namespace ruvex
