#pragma once
// Little-endian numbers in byte strings, as Windows file formats store them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvane {

inline void PutLe16(std::string& out, std::uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

inline void PutLe32(std::string& out, std::uint32_t v) {
  PutLe16(out, v & 0xFFFF);
  PutLe16(out, v >> 16);
}

// `bytes` (1 to 4) bytes at `offset`; the caller has checked the bounds.
inline std::uint32_t GetLe(std::string_view s, std::size_t offset, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= std::uint32_t(static_cast<std::uint8_t>(s[offset + i])) << (8 * i);
  return v;
}

}  // namespace kelvane
