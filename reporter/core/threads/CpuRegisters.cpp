#include "reporter/core/threads/CpuRegisters.h"

#include <utility>
#include <vector>

#include "common/text/Format.h"
#include "common/text/HexText.h"

namespace ruvex {

std::u16string GetCpuRegisters(const TThreadContext& c) {
  const bool wide = c.pointerSize == 8;
  const std::u16string prefix = wide ? u"r" : u"e";
  std::vector<std::pair<std::u16string, Address>> registers = {
      {prefix + u"ax", c.ax}, {prefix + u"bx", c.bx}, {prefix + u"cx", c.cx},
      {prefix + u"dx", c.dx}, {prefix + u"si", c.si}, {prefix + u"di", c.di},
      {prefix + u"ip", c.ip}, {prefix + u"sp", c.sp}, {prefix + u"bp", c.bp}};
  if (wide)
    for (unsigned i = 0; i < c.r8to15.size(); ++i) {
      std::u16string name = u"r" + kelvane::DecimalText(8 + i);
      if (name.size() < 3) name += u' ';  // "r8 " lines up with "r10"
      registers.emplace_back(name, c.r8to15[i]);
    }
  std::u16string text;
  for (const auto& [name, value] : registers) {
    if (!text.empty()) text += u"\r\n";
    text += name + u" = " + kelvane::HexLower16(wide ? value : value & 0xFFFFFFFFu, wide ? 16 : 8);
  }
  return text;
}

}  // namespace ruvex
