#include "reporter/engines/trace/support/TraceText.h"

#include <string>

#include "common/text/HexText.h"
#include "reporter/archive/Crc32.h"

namespace ruvex {

std::u16string HexText(std::uint64_t value, std::size_t digits) {
  return kelvane::HexLower16(value, static_cast<unsigned>(digits));
}

std::uint32_t CrcStep(std::uint32_t crc, const std::u16string& text) {
  std::string bytes;
  bytes.reserve(2 * text.size());
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return Crc32Update(crc, bytes.data(), bytes.size());
}

std::u16string ChecksumLower(std::u16string text) {
  for (char16_t& c : text)
    if ((c >= u'A' && c <= u'Z') || c == 0xC4 || c == 0xD6 || c == 0xDC) c = static_cast<char16_t>(c + 0x20);
  return text;
}

std::uint32_t ItemChecksum(Address address, Address publicAddress, const std::u16string& module,
                           const std::u16string& unit, const std::u16string& publicName) {
  if (publicAddress == 0 || module.empty() || publicName.empty()) return static_cast<std::uint32_t>(address);
  std::uint32_t v = static_cast<std::uint32_t>(address - publicAddress);
  v = CrcStep(v, ChecksumLower(module));
  if (!unit.empty()) v = CrcStep(v, ChecksumLower(unit));
  return CrcStep(v, ChecksumLower(publicName));
}

}  // namespace ruvex
