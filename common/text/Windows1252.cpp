#include "common/text/Windows1252.h"

#include <array>

namespace kelvane {
namespace {

// 0x80..0x9F; the five holes of the code page map to their C1 controls.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::optional<char> EncodeChar(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c < 0x100)) return static_cast<char>(c);
  for (int b = 0x80; b < 0xA0; ++b)
    if (kHighControls[b - 0x80] == c) return static_cast<char>(b);
  return std::nullopt;
}

// The code page's lower-case mapping: ASCII, the four letters of 0x80..0x9F
// (S caron, OE, Z caron, Y diaeresis) and the Latin-1 capitals but the
// multiplication sign.
constexpr std::array<char16_t, 256> MakeLowerCaseTable() {
  std::array<char16_t, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = static_cast<char16_t>(c);
  for (int c = 'A'; c <= 'Z'; ++c) table[c] = static_cast<char16_t>(c + 32);
  for (int c = 0xC0; c <= 0xDE; ++c)
    if (c != 0xD7) table[c] = static_cast<char16_t>(c + 32);
  table[0x8A] = 0x9A;
  table[0x8C] = 0x9C;
  table[0x8E] = 0x9E;
  table[0x9F] = 0xFF;
  return table;
}
constexpr std::array<char16_t, 256> kLowerCase = MakeLowerCaseTable();

}  // namespace

char16_t Windows1252ToUnicode(std::uint8_t byte) {
  return byte >= 0x80 && byte <= 0x9F ? kHighControls[byte - 0x80] : char16_t{byte};
}

std::u16string DecodeWindows1252(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (char b : bytes) out.push_back(Windows1252ToUnicode(static_cast<std::uint8_t>(b)));
  return out;
}

std::optional<std::string> EncodeWindows1252(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    auto b = EncodeChar(c);
    if (!b) return std::nullopt;
    out.push_back(*b);
  }
  return out;
}

std::string EncodeWindows1252Lossy(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) out.push_back(EncodeChar(c).value_or('?'));
  return out;
}

char16_t FoldCase(char16_t c) { return c < 256 ? kLowerCase[c] : c; }

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  return true;
}

bool StartsWithIgnoreCase(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace kelvane
