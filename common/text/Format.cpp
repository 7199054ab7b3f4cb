#include "common/text/Format.h"

#include <string>

namespace kelvane {

std::u16string FormatText(std::u16string_view pattern, std::initializer_list<std::u16string_view> args) {
  std::u16string out;
  auto next = args.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char16_t c = pattern[i];
    if (c == u'%' && i + 1 < pattern.size()) {
      const char16_t kind = pattern[i + 1];
      if (kind == u'%') {
        out.push_back(u'%');
        ++i;
        continue;
      }
      if ((kind == u's' || kind == u'd' || kind == u'p') && next != args.end()) {
        out.append(*next++);
        ++i;
        continue;
      }
    }
    out.push_back(c);
  }
  return out;
}

std::u16string DecimalText(long long value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace kelvane
