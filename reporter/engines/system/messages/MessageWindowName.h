#pragma once
// The class name of a thread's hidden message window. It is what another
// process looks for to reach that thread's window, so the thread id is
// delimited: "$" before it, nothing after it (thread 0x1a never matches
// the window of thread 0x1a7).
#include <cstdint>
#include <string>

#include "common/text/HexText.h"

namespace ruvex {

inline constexpr char16_t kMessageWindowClassPrefix[] = u"RuvexToolsMsgHandlerWindow";

inline std::u16string MessageWindowClassName(std::uint32_t threadId) {
  return std::u16string(kMessageWindowClassPrefix) + u"$" + kelvane::HexLower16(threadId);
}

}  // namespace ruvex
