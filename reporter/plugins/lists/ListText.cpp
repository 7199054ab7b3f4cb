#include "reporter/plugins/lists/ListText.h"

#include <algorithm>

#include "common/text/HexText.h"
#include "common/text/Windows1252.h"

namespace ruvex {

int CompareListText(std::u16string_view a, std::u16string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const char16_t x = kelvane::FoldCase(a[i]), y = kelvane::FoldCase(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

std::size_t ColumnWidth(const std::vector<std::u16string>& texts) {
  std::size_t longest = 0;
  for (const auto& text : texts) longest = std::max(longest, text.size());
  return longest + 1;
}

std::u16string Column(std::u16string_view text, std::size_t width) {
  std::u16string out(text);
  if (out.size() < width) out.append(width - out.size(), u' ');
  return out;
}

std::u16string JoinLines(const std::vector<std::u16string>& lines) {
  std::u16string out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) out += u"\r\n";
    out += lines[i];
  }
  return out;
}

std::u16string HexColumn(std::uint64_t value, unsigned digits) { return kelvane::HexLower16(value, digits); }

unsigned HexDigitCount(std::uint64_t value) {
  unsigned digits = 1;
  while (value >>= 4) ++digits;
  return digits;
}

std::u16string PriorityClassText(std::int32_t priorityClass) {
  switch (priorityClass) {
    case 0: case -1: return u"";
    case 32: return u"normal";
    case 64: return u"idle";
    case 128: return u"high";
    case 256: return u"realtime";
    case 0x4000: return u"below normal";
    case 0x8000: return u"above normal";
    default: return u"$" + kelvane::HexLower16(static_cast<std::uint32_t>(priorityClass));
  }
}

std::u16string TrimBlanks(std::u16string_view text) {
  std::size_t first = 0, last = text.size();
  while (first < last && text[first] <= u' ') ++first;
  while (last > first && text[last - 1] <= u' ') --last;
  return std::u16string(text.substr(first, last - first));
}

}  // namespace ruvex
