#include "reporter/delivery/mime/Base64.h"

#include <cstdint>

namespace ruvex {

std::string Base64(std::string_view bytes) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 3; ++k)
      group = (group << 8) | (k < n ? static_cast<std::uint8_t>(bytes[i + k]) : 0u);
    for (std::size_t k = 0; k < 4; ++k)
      out.push_back(k <= n ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=');
  }
  return out;
}

std::string Base64Lines(std::string_view bytes, std::size_t lineLength) {
  const std::string encoded = Base64(bytes);
  std::string out;
  out.reserve(encoded.size() + encoded.size() / lineLength * 2 + 2);
  for (std::size_t i = 0; i < encoded.size(); i += lineLength) {
    out.append(encoded, i, lineLength);
    out.append("\r\n");
  }
  return out;
}

}  // namespace ruvex
