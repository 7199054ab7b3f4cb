#include "common/text/HexText.h"

namespace kelvane {

std::string HexLower(std::uint64_t value, unsigned minDigits) {
  static constexpr char kDigits[] = "0123456789abcdef";
  char buffer[16];
  unsigned count = 0;
  do {
    buffer[15 - count++] = kDigits[value & 15];
    value >>= 4;
  } while (value);
  std::string out(minDigits > count ? minDigits - count : 0, '0');
  out.append(buffer + 16 - count, count);
  return out;
}

std::u16string HexLower16(std::uint64_t value, unsigned minDigits) {
  const std::string text = HexLower(value, minDigits);
  return std::u16string(text.begin(), text.end());
}

}  // namespace kelvane
