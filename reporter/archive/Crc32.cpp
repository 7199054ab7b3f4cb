#include "reporter/archive/Crc32.h"

#include <array>

namespace ruvex {
namespace {

// Eight tables, so that eight bytes are folded in per step ("slicing by
// eight"); table 0 is the classic byte-wise table.
using TTables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr TTables MakeTables() {
  TTables t{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][n] = c;
  }
  for (std::uint32_t n = 0; n < 256; ++n)
    for (int k = 1; k < 8; ++k) t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
  return t;
}

constexpr TTables kTables = MakeTables();

}  // namespace

std::uint32_t Crc32Update(std::uint32_t crc, const void* bytes, std::size_t length) {
  const auto* p = static_cast<const std::uint8_t*>(bytes);
  const auto& t = kTables;
  while (length >= 8) {
    const std::uint32_t lo = crc ^ (std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                                    std::uint32_t(p[3]) << 24);
    crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^ t[3][p[4]] ^
          t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
    p += 8;
    length -= 8;
  }
  while (length--) crc = t[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
  return crc;
}

std::uint32_t Crc32Of(const void* bytes, std::size_t length) {
  return ~Crc32Update(0xFFFFFFFFu, bytes, length);
}

}  // namespace ruvex
