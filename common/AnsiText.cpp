#include "common/AnsiText.h"

#include "common/Windows1252.h"

namespace ruvex {
namespace {

char16_t DecodeAnsi(unsigned char b) { return kelvane::Windows1252ToUnicode(b); }

std::optional<char> EncodeAnsi(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c < 0x100)) return static_cast<char>(c);
  for (int b = 0x80; b < 0xA0; ++b)
    if (kelvane::Windows1252ToUnicode(static_cast<std::uint8_t>(b)) == c) return static_cast<char>(b);
  return std::nullopt;
}

}  // namespace

std::u16string AnsiToUtf16(std::string_view ansi) {
  std::u16string out;
  out.reserve(ansi.size());
  for (char ch : ansi) out.push_back(DecodeAnsi(static_cast<unsigned char>(ch)));
  return out;
}

std::optional<std::string> Utf16ToAnsi(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    auto b = EncodeAnsi(c);
    if (!b) return std::nullopt;
    out.push_back(*b);
  }
  return out;
}

std::string Utf16ToAnsiLossy(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) out.push_back(EncodeAnsi(c).value_or('?'));
  return out;
}

char16_t FoldCase(char16_t c) {
  if (c >= u'A' && c <= u'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  return c;
}

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  return true;
}

bool StartsWithIgnoreCase(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

std::vector<std::u16string> SplitItems(std::u16string_view text, char16_t separator) {
  std::vector<std::u16string> items;
  if (text.empty()) return items;
  size_t start = 0;
  for (;;) {
    size_t end = text.find(separator, start);
    items.emplace_back(text.substr(start, end == std::u16string_view::npos ? text.npos : end - start));
    if (end == std::u16string_view::npos) break;
    start = end + 1;
  }
  return items;
}

std::u16string FileNameOf(std::u16string_view path) {
  size_t cut = path.find_last_of(u"\\/");
  return std::u16string(cut == path.npos ? path : path.substr(cut + 1));
}

std::u16string FolderOf(std::u16string_view path) {
  size_t cut = path.find_last_of(u"\\/");
  return cut == path.npos ? std::u16string() : std::u16string(path.substr(0, cut));
}

}  // namespace ruvex
