#include "reporter/core/report/ErrorCodeText.h"

#include "common/text/Utf.h"
#include "reporter/core/report/ReportFormat.h"

namespace ruvex {

std::u16string CleanSystemMessage(std::u16string_view text) {
  std::u16string line;
  for (char16_t c : text) {
    if (c == u'\n') continue;
    line.push_back(c == u'\r' ? u' ' : c);
  }
  while (!line.empty() && line.back() <= 32) line.pop_back();
  return line;
}

std::u16string UnknownErrorText(std::uint32_t code) {
  static constexpr TScrambledText kPrefix("error code");
  return kelvane::Utf8ToUtf16(kPrefix.Plain()) + u" " + DollarHex(code);
}

}  // namespace ruvex
