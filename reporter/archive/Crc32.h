#pragma once
// CRC-32 as zip and PNG use it (reflected polynomial 0xEDB88320).
#include <cstddef>
#include <cstdint>

namespace ruvex {

// Callers start with 0xFFFFFFFF and complement the final value.
std::uint32_t Crc32Update(std::uint32_t crc, const void* bytes, std::size_t length);

// The finished CRC-32 of one buffer.
std::uint32_t Crc32Of(const void* bytes, std::size_t length);

}  // namespace ruvex
