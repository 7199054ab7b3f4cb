#include "reporter/core/properties/PasswordCipher.h"

#include <cstdint>

#include "common/text/Utf.h"
#include "common/text/HexText.h"

namespace ruvex {
namespace {

// A keystream from a xorshift generator seeded with the FNV-1a hash of the
// account and server (UTF-8, separated by a byte no text contains).
class TKeyStream {
 public:
  TKeyStream(std::u16string_view account, std::u16string_view server) {
    std::string key = kelvane::Utf16ToUtf8(account) + '\x01' + kelvane::Utf16ToUtf8(server);
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : key) h = (h ^ c) * 1099511628211ull;
    state_ = h ? h : 0x9E3779B97F4A7C15ull;
  }
  std::uint8_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<std::uint8_t>(state_ >> 24);
  }

 private:
  std::uint64_t state_;
};

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

}  // namespace

std::u16string EncipherPassword(std::u16string_view plain, std::u16string_view account,
                                std::u16string_view server) {
  TKeyStream keys(account, server);
  std::u16string out = u"~";
  for (unsigned char c : kelvane::Utf16ToUtf8(plain)) out += kelvane::HexLower16(static_cast<std::uint8_t>(c ^ keys.Next()), 2);
  return out;
}

std::optional<std::u16string> DecipherPassword(std::u16string_view stored, std::u16string_view account,
                                               std::u16string_view server) {
  if (stored.empty() || stored[0] != u'~' || stored.size() % 2 == 0) return std::nullopt;
  TKeyStream keys(account, server);
  std::string bytes;
  for (size_t i = 1; i < stored.size(); i += 2) {
    int hi = HexValue(stored[i]), lo = HexValue(stored[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes.push_back(static_cast<char>((hi << 4 | lo) ^ keys.Next()));
  }
  return kelvane::Utf8ToUtf16(bytes);
}

}  // namespace ruvex
